#pragma once
// Work the module runs off the caller's thread. Refreshes and the library's
// clean-up go to the process's thread pool: submitting is a queue push, so
// a host call never starts a thread. On Windows that is the system's pool,
// told the work may run long (a library call can block for seconds); on
// Linux a small pool of the module's own whose idle threads retire.
#include <cstdint>

namespace platform {

using WorkEntry = void (*)(void* argument) noexcept;

// Queues entry(argument). False when it could not be queued; entry is not
// called then.
bool SubmitWork(WorkEntry entry, void* argument) noexcept;

// What has gone through SubmitWork, and the threads the module started for
// its pool (none on Windows, whose pool is the system's).
struct WorkCounts {
  std::uint64_t submitted;
  std::uint64_t threadsStarted;
  // Of those, started on a submitting thread: only when the pool had none.
  std::uint64_t threadsStartedBySubmitters;
  std::uint32_t threadsAlive;
};
WorkCounts CountWork() noexcept;

// Test seam: SubmitWork hands work to `submitter` instead of the pool, so
// that a test can hold it back, run it where it likes or refuse it. Null
// gives the pool back. Returns the submitter it replaced.
using WorkSubmitter = bool (*)(WorkEntry entry, void* argument) noexcept;
WorkSubmitter ReplaceWorkSubmitter(WorkSubmitter submitter) noexcept;

// The pool itself, for a submitter that passes work on.
bool SubmitToPool(WorkEntry entry, void* argument) noexcept;

namespace detail {
struct PoolThreads {
  std::uint64_t started;
  std::uint64_t startedBySubmitters;
  std::uint32_t alive;
};
PoolThreads CountPoolThreads() noexcept;
}  // namespace detail

}  // namespace platform
