#pragma once
// The plug-in's own thread starts, timed (Windows only): its imports of
// CreateThread and _beginthreadex are pointed at wrappers that note when
// each call began and ended, on the steady clock, so that a slow host call
// can be matched with a thread start it waited for.
#include <cstdint>
#include <vector>

#include "platform/module.h"
#include "support.h"

namespace kronel_bench {

// False when the module imports neither function.
bool TimeThreadStarts(platform::ModuleHandle module);
bool ThreadStartsTimed();
// The thread starts noted since the last call (at most a few thousand are kept).
std::vector<Span> TakeThreadStarts();

}  // namespace kronel_bench
