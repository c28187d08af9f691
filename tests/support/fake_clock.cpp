#include "fake_clock.h"

#include <atomic>

#include "platform/clock.h"

namespace kronel_test {
namespace {

// Far from 0, so that nothing mistakes the start for "never".
constexpr std::int64_t kStart = 1000000000;
std::atomic<std::int64_t> now{kStart};

std::int64_t Read() noexcept { return now.load(); }

}  // namespace

FakeClock::FakeClock() noexcept {
  now.store(kStart);
  platform::ReplaceClock(&Read);
}

FakeClock::~FakeClock() { platform::ReplaceClock(nullptr); }

void FakeClock::Advance(std::int64_t milliseconds) noexcept { now.fetch_add(milliseconds); }

std::int64_t FakeClock::Now() const noexcept { return now.load(); }

}  // namespace kronel_test
