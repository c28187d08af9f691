#pragma once
// Four host threads call GetIOControlNames every 100 us while each refresh of
// their target sits in FindHardware for a delay and a change arrives every
// 20 ms: how long every call took.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kronel_bench {

struct LatencyFigures {
  std::vector<double> latencies;          // microseconds, sorted
  double slowestByAnswer[3] = {0, 0, 0};  // answers 0 (written), 1 (unchanged), 2 (pending)
  std::uint64_t written = 0, pending = 0, failed = 0, refreshes = 0;
  std::string error;  // set when the run could not be made

  // The latency below which `fraction` of the calls lie.
  double At(double fraction) const;
};

constexpr std::uint32_t kLatencyThreads = 4;

LatencyFigures RunLatency(std::size_t calls, std::uint32_t delayMs);

}  // namespace kronel_bench
