#pragma once
// The process's heap as the allocator sees it (native build only); its
// threads are counted by test_support::ProcessThreadCount.
#include <cstddef>

namespace kronel_bench {

// Bytes the C heap has handed out and not taken back.
std::size_t HeapInUse();

}  // namespace kronel_bench
