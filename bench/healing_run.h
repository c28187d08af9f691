#pragma once
// The host's calls while the library fails: the answer of a cache that waits
// for its retry beside a healthy cache's answer, in turns; the library
// attempts a minute of failures costs while the host keeps asking; and the
// call that submits the retry once the back-off has passed, beside an
// unchanged answer plus one pool submission on the same thread.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support.h"

namespace kronel_bench {

// Through the loaded plug-in and the system's clock. FindHardware fails
// from a moment after both targets had their lists; the waiting target's
// refresh is forced once, fails, and the batches follow at once, well within
// the shortest back-off (0.8 s), each target under either reference in
// turn. An error when the library was called during the batches: a retry
// came.
struct WaitingAnswerFigures {
  // Nanoseconds per call, one of each per batch.
  std::vector<double> waiting, healthy;
  // From the failing refresh's forcing call to the last batch's end.
  double sinceFailureMs = 0;
  std::string error;
};
WaitingAnswerFigures MeasureWaitingAnswer(std::size_t batches, std::size_t callsPerBatch);

// The host asks every `periodMs` for `failingMs` while the library fails,
// on the tests' clock, through the plug-in's code linked in; each call's
// pool work is waited for before the clock moves on. Then the library works
// again and the host asks on until a list with the names is written.
enum class Failing {
  kFrameworks,  // no framework can be made, from the first request on
  kQuery,       // FindHardware fails from a change told once the list was written
};
struct FailingMinuteFigures {
  // Library calls and pool submissions while it failed.
  std::uint64_t frameworks = 0, queries = 0, submissions = 0;
  std::uint64_t calls = 0, pending = 0, written = 0, unchanged = 0, failed = 0;
  // From the library working again to the list written, on the tests' clock; -1 if never.
  std::int64_t healedMs = -1;
  std::string error;
};
FailingMinuteFigures MeasureFailingMinute(Failing what, std::int64_t failingMs, std::int64_t periodMs);

// Through the plug-in's code linked in, on the tests' clock: each sample
// fails a forced refresh of one target, moves the clock past the longest
// first back-off (1.2 s) and times that target's next call (answer 1, one
// pool submission: the retry) beside the other target's unchanged answer
// plus a no-op submission. The retry is held 10 ms at its first library
// call, so that it cannot end, and the call write its list, before the call
// has returned. With `keepBack`, both submissions are held until both calls
// were timed: the calls without the pool.
struct RetryStartFigures {
  std::vector<double> retry, baseline;  // microseconds, one of each per sample
  // Per sample: the retry had asked the library for its framework by the
  // time its call had returned (read just after the call).
  std::vector<bool> reachedLibrary;
  std::size_t retried = 0;  // samples made again: the retry ended before its call did
  std::string error;
};
RetryStartFigures MeasureRetryStart(std::size_t samples, bool keepBack = false);

}  // namespace kronel_bench
