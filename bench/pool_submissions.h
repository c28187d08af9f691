#pragma once
// The plug-in's pool submissions, timed (Windows only): its import of
// TrySubmitThreadpoolCallback is pointed at a wrapper that notes when each
// call began and ended, on the steady clock, so that a slow host call can be
// matched with the submission it made. Its imports of CreateThread and
// _beginthreadex, should it have any, are counted: it should start no thread.
#include <cstdint>
#include <vector>

#include "platform/module.h"
#include "support.h"

namespace kronel_bench {

// False when the module does not import TrySubmitThreadpoolCallback.
bool TimePoolSubmissions(platform::ModuleHandle module);
bool PoolSubmissionsTimed();
// The submissions noted since the last call (the last few thousand are kept).
std::vector<Span> TakePoolSubmissions();

// Whether the module imports a way to start a thread, and the threads it
// started through one since TimePoolSubmissions.
bool ImportsThreadStart();
std::uint64_t ThreadStartsMade();

// The module's calls that make, close or wait on a kernel object
// (CreateEventA, CreateSemaphoreA, DuplicateHandle, CloseHandle,
// WaitForSingleObject(Ex), WaitForMultipleObjects(Ex)) since
// TimePoolSubmissions: under Wine each is a round trip to the wineserver.
std::uint64_t KernelObjectCalls();

}  // namespace kronel_bench
