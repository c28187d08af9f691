#pragma once
// Host calls that hand work to the pool, made while another thread of the
// process holds the loader lock, each round beside a pool submission of work
// that does nothing (what the call should cost about) and, for scale,
// CreateThread and CloseHandle of a thread that does nothing, on the same
// thread while the same lock is held (Windows only). A round starts from a
// fresh library and ends once the library has settled.
#include <string>
#include <vector>

namespace kronel_bench {

struct HeldFigures {
  // Microseconds, one of each per round.
  std::vector<double> calls, baselines, threadStarts;
  // Of each call: the time in its pool submissions, and its calls that
  // make, close or wait on a kernel object.
  std::vector<double> submitting, kernelObjectCalls;
  std::string baseline;  // what the baseline is
  std::string error;     // set when a round could not be made
};

// GetIOControlNames forcing a refresh of a target whose list was delivered,
// beside an unchanged answer and one submission.
HeldFigures RefreshStartWhileHeld(int rounds);
// The last ReleasingAppRef: one cache idle, the other's worker inside the
// library; beside one submission.
HeldFigures LastReleaseWhileHeld(int rounds);

}  // namespace kronel_bench
