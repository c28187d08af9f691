#include "kronel/retry_schedule.h"

#include <algorithm>
#include <cmath>

namespace kronel {
namespace {

constexpr double kInitialMs = 1000;
constexpr double kMultiplier = 2;
constexpr double kMaxMs = 60000;
constexpr double kJitter = 0.2;

}  // namespace

std::int64_t RetryDelayMs(std::uint32_t failures, double draw) noexcept {
  double delay = kInitialMs;
  for (std::uint32_t i = 1; i < failures && delay < kMaxMs; ++i) delay *= kMultiplier;
  delay = std::min(delay, kMaxMs);
  delay *= 1.0 + kJitter * std::max(-1.0, std::min(1.0, draw));
  return std::max<std::int64_t>(1, std::llround(delay));
}

void Backoff::Failed(std::int64_t nowMs, double draw) noexcept {
  if (failures_ != UINT32_MAX) ++failures_;
  dueMs_ = nowMs + RetryDelayMs(failures_, draw);
}

double JitterSource::Draw() noexcept {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  // The top 53 bits as a fraction in [0, 1), spread to [-1, 1).
  return static_cast<double>(z >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

}  // namespace kronel
