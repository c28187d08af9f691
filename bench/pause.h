#pragma once
// A pause of about the given length between a benchmark thread's calls.
#include <chrono>

namespace kronel_bench {

void Pause(std::chrono::microseconds length);

}  // namespace kronel_bench
