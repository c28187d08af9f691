#include <time.h>

#include "platform/clock.h"

namespace platform {
namespace detail {

std::int64_t SystemMilliseconds() noexcept {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace detail
}  // namespace platform
