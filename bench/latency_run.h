#pragma once
// Four host threads call GetIOControlNames about every 100 us, each call beside
// the bare work of an answer on the same thread, while each refresh of their
// target sits in FindHardware for a delay and a change arrives every 20 ms,
// until the plug-in has delivered a number of lists: how long every call took.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support.h"

namespace kronel_bench {

struct LatencyFigures {
  std::vector<double> latencies;          // microseconds, sorted
  std::vector<double> bare;               // the bare work's, microseconds, sorted
  double slowestByAnswer[3] = {0, 0, 0};  // answers 0 (written), 1 (unchanged), 2 (pending)
  std::vector<Span> slow, bareSlow;       // when the calls of kSlowCallUs or more were made
  std::uint64_t written = 0, pending = 0, failed = 0, refreshes = 0;
  Span run;  // from the first call to the last
  std::string error;  // set when the run could not be made

  // The latency below which `fraction` of the calls lie.
  double At(double fraction) const;
  double BareAt(double fraction) const;
};

constexpr std::uint32_t kLatencyThreads = 4;
constexpr std::chrono::microseconds kLatencyPause{100};
constexpr double kSlowCallUs = 1000;

// Ends once `lists` lists were delivered, or after `patience`.
LatencyFigures RunLatency(std::uint64_t lists, std::uint32_t delayMs, std::chrono::seconds patience);

}  // namespace kronel_bench
