#pragma once
// The module's clock, moved by the test instead of waiting: while one lives,
// platform::MonotonicMilliseconds reads it. One at a time.
#include <cstdint>

namespace kronel_test {

class FakeClock {
 public:
  FakeClock() noexcept;
  ~FakeClock();
  FakeClock(const FakeClock&) = delete;
  FakeClock& operator=(const FakeClock&) = delete;

  void Advance(std::int64_t milliseconds) noexcept;
  std::int64_t Now() const noexcept;
};

}  // namespace kronel_test
