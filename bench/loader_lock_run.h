#pragma once
// Host calls that hand work to a thread of the plug-in's own, made while
// another thread of the process holds the loader lock, each round beside
// CreateThread and CloseHandle of a thread that does nothing, on the same
// thread while the same lock is held (Windows only). A round starts from a
// fresh library and ends once the library has settled.
#include <string>
#include <vector>

namespace kronel_bench {

struct HeldFigures {
  std::vector<double> calls, createThreads;  // microseconds, one of each per round
  std::string error;                         // set when a round could not be made
};

// GetIOControlNames forcing a refresh of a target whose list was delivered.
HeldFigures RefreshStartWhileHeld(int rounds);
// The last ReleasingAppRef: one cache idle, the other's worker inside the library.
HeldFigures LastReleaseWhileHeld(int rounds);

}  // namespace kronel_bench
