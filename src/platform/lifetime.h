#pragma once
// How long this module's code stays. The image is pinned while it loads,
// where the loader holds its lock anyway, and stays until the process ends:
// no pool work of the module and no object the library holds needs a
// reference on it, so no host call takes the loader lock to take or give one
// back. (Linux: the shared object is linked not to unload.)

namespace platform {

// True while the process ends on Windows: its other threads have been killed
// by then, perhaps holding locks, so a module's teardown must take none and
// wait for nothing. False elsewhere, where the other threads live on through exit.
bool ProcessIsEnding() noexcept;

}  // namespace platform
