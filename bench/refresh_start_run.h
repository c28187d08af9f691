#pragma once
// Host calls that start a refresh on an idle cache, each beside what such a
// call can at best cost: an unchanged answer plus one pool submission of
// work that does nothing, on the same thread; and, for scale, the thread
// start a refresh used to cost. A sample starts once the last refresh has
// ended and its list was delivered.
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "support.h"

namespace kronel_bench {

struct RefreshStartFigures {
  // Microseconds, one of each per sample.
  std::vector<double> forced;    // GetIOControlNames forcing a refresh (answer 2)
  std::vector<double> first;     // the first call for a new target (answer 2)
  std::vector<double> baseline;  // GetIOControlNames answering 1, then SubmitNothing
  std::vector<double> threadStart;
  std::vector<Span> forcedCalls;  // when the forcing calls were made
  std::size_t retried = 0;        // samples made again: the call met the last refresh still ending
  std::string error;              // set when the run could not be made
};

// Through `plugin`, whose calls should reach the pool SubmitNothing reaches.
RefreshStartFigures MeasureRefreshStart(const Plugin& plugin, std::size_t samples);

// A forcing call through the loaded plug-in once its pool has had nothing
// to do for `idle`, beside a thread start right after it (microseconds), and
// the process's threads just before and after the call.
struct IdlePoolStart {
  double call = -1, threadStart = -1;
  long threadsBefore = 0, threadsAfter = 0;
  std::string error;
};
IdlePoolStart MeasureRefreshStartAfterIdle(std::chrono::milliseconds idle);

}  // namespace kronel_bench
