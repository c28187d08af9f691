#pragma once
// Ctrl-C ends a run cleanly: the handler only raises a flag that the loops read.

namespace kronel_names {

void CatchInterrupt();
bool Interrupted();

}  // namespace kronel_names
