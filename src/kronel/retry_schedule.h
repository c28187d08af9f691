#pragma once
// When a failed read or registration is tried again: exponential back-off
// with jitter, so that many targets do not retry in step. The delay is a
// pure function of the failures in a row; the state beside it keeps the
// count and the time the next attempt is due.
#include <cstdint>

namespace kronel {

// The wait after `failures` failures in a row (1 or more): 1 s, doubling up
// to 60 s, then ±20 %. `draw`, in [-1, 1], places it within that band.
std::int64_t RetryDelayMs(std::uint32_t failures, double draw) noexcept;

class Backoff {
 public:
  void Failed(std::int64_t nowMs, double draw) noexcept;
  void Succeeded() noexcept { failures_ = 0; }

  bool Failing() const noexcept { return failures_ != 0; }
  // Nothing waits while not failing.
  bool Due(std::int64_t nowMs) const noexcept { return failures_ == 0 || nowMs >= dueMs_; }
  std::int64_t DueMs() const noexcept { return dueMs_; }

 private:
  std::uint32_t failures_ = 0;
  std::int64_t dueMs_ = 0;
};

// Draws in [-1, 1] for the jitter: splitmix64, seeded per cache, so that
// caches made together spread apart and a run can be replayed.
class JitterSource {
 public:
  explicit JitterSource(std::uint64_t seed) noexcept : state_(seed) {}
  double Draw() noexcept;

 private:
  std::uint64_t state_;
};

}  // namespace kronel
