#include "process_stats.h"

#include <dirent.h>
#include <malloc.h>

namespace kronel_bench {

std::size_t ThreadCount() {
  std::size_t count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks)) {
      if (entry->d_name[0] != '.') ++count;
    }
    closedir(tasks);
  }
  return count;
}

std::size_t HeapInUse() { return mallinfo2().uordblks; }

}  // namespace kronel_bench
