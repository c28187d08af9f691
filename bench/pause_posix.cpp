#include <thread>

#include "pause.h"

namespace kronel_bench {

void Pause(std::chrono::microseconds length) { std::this_thread::sleep_for(length); }

}  // namespace kronel_bench
