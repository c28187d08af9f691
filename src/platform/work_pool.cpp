#include "platform/work_pool.h"

#include <atomic>

namespace platform {
namespace {

std::atomic<WorkSubmitter> replacement{nullptr};
std::atomic<std::uint64_t> submitted{0};

}  // namespace

bool SubmitWork(WorkEntry entry, void* argument) noexcept {
  submitted.fetch_add(1, std::memory_order_relaxed);
  const WorkSubmitter submitter = replacement.load(std::memory_order_acquire);
  return submitter != nullptr ? submitter(entry, argument) : SubmitToPool(entry, argument);
}

WorkSubmitter ReplaceWorkSubmitter(WorkSubmitter submitter) noexcept { return replacement.exchange(submitter); }

WorkCounts CountWork() noexcept {
  const detail::PoolThreads threads = detail::CountPoolThreads();
  return WorkCounts{submitted.load(std::memory_order_relaxed), threads.started, threads.startedBySubmitters,
                    threads.alive};
}

}  // namespace platform
