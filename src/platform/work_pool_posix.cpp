#include "platform/posix_thread_pool.h"
#include "platform/work_pool.h"

namespace platform {

bool SubmitToPool(WorkEntry entry, void* argument) noexcept { return ProcessThreadPool().Submit(entry, argument); }

namespace detail {
PoolThreads CountPoolThreads() noexcept { return ProcessThreadPool().CountThreads(); }
}  // namespace detail

}  // namespace platform
