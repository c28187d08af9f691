#pragma once
// The process's threads and heap as the kernel and allocator see them
// (native build only).
#include <cstddef>

namespace kronel_bench {

// Threads of this process, from /proc/self/task.
std::size_t ThreadCount();
// Bytes the C heap has handed out and not taken back.
std::size_t HeapInUse();

}  // namespace kronel_bench
