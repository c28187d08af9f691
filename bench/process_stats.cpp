#include "process_stats.h"

#include <malloc.h>

namespace kronel_bench {

std::size_t HeapInUse() { return mallinfo2().uordblks; }

}  // namespace kronel_bench
