#include <dirent.h>

#include "thread_count.h"

namespace test_support {

std::size_t ProcessThreadCount() {
  std::size_t count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks)) {
      if (entry->d_name[0] != '.') ++count;
    }
    closedir(tasks);
  }
  return count;
}

}  // namespace test_support
