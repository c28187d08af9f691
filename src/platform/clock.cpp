#include "platform/clock.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<ClockSource> replacement{nullptr};

}  // namespace

std::int64_t MonotonicMilliseconds() noexcept {
  const ClockSource source = replacement.load(std::memory_order_acquire);
  return source != nullptr ? source() : detail::SystemMilliseconds();
}

ClockSource ReplaceClock(ClockSource source) noexcept { return replacement.exchange(source); }

}  // namespace platform
