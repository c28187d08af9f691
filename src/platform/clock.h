#pragma once
// A coarse monotonic clock in milliseconds, read on every host call: a few
// nanoseconds, and a tick of some milliseconds is plenty for retries that
// wait seconds. Tests move it through the seam instead of sleeping.
#include <cstdint>

namespace platform {

std::int64_t MonotonicMilliseconds() noexcept;

// Test seam: the clock reads `source` instead of the system's; null gives
// the system's back. Returns the source it replaced.
using ClockSource = std::int64_t (*)() noexcept;
ClockSource ReplaceClock(ClockSource source) noexcept;

namespace detail {
std::int64_t SystemMilliseconds() noexcept;
}  // namespace detail

}  // namespace platform
