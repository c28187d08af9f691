#include "kronel/morrow_cache.h"

#include <boost/thread/thread.hpp>

#include "kronel/model_codes.h"
#include "kronel/target_registrations.h"

namespace kronel {

MorrowCache::MorrowCache(const std::string& targetUrl)
    : targetUrl(targetUrl),
      deviceModels(std::begin(kDeviceModelCodes), std::end(kDeviceModelCodes)),
      systemModels(std::begin(kSystemModelCodes), std::end(kSystemModelCodes)),
      generation(TargetRegistrations::Instance().NextGeneration()) {}

MorrowCache::~MorrowCache() {
  if (framework) TargetRegistrations::Instance().Unregister(*framework, targetUrl, this);
}

bool MorrowCache::IsUpToDate() {
  boost::lock_guard<boost::mutex> lock(mutex);
  return upToDate.load() != 0;
}

std::uint32_t MorrowCache::GetVersion() {
  boost::lock_guard<boost::mutex> lock(mutex);
  return version.load();
}

std::vector<std::string> MorrowCache::CopyNames() {
  boost::lock_guard<boost::mutex> lock(mutex);
  return std::vector<std::string>(names.begin(), names.end());
}

MorrowCache::Snapshot MorrowCache::CopySnapshot() {
  boost::lock_guard<boost::mutex> lock(mutex);
  return Snapshot{std::vector<std::string>(names.begin(), names.end()), version.load()};
}

void MorrowCache::RequestRefresh() {
  // Declared before the lock, so that it is released after unlocking, should
  // it be the last share; it is empty unless a worker failed to start.
  boost::shared_ptr<MorrowCache> self;
  boost::lock_guard<boost::mutex> lock(mutex);
  if (refreshing.load() != 0) {
    upToDate.exchange(0);
    return;
  }
  // A cache whose last owner is letting go starts nothing.
  self = weak_from_this().lock();
  if (!self) return;

  refreshing.exchange(1);
  try {
    // The task holds a plain pointer; the share that keeps the cache alive
    // lives in the thread's function, never in the task: the future kept in
    // lastRefresh shares the task's state, and would keep the cache forever.
    // The share moves to the worker, so a notification that starts a refresh
    // never ends up holding the last one.
    boost::packaged_task<void()> task([this] { Refresh(); });
    boost::unique_future<void> future = task.get_future();
    boost::thread worker([owner = std::move(self), task = std::move(task)]() mutable {
      task();
      owner.reset();
    });
    worker.detach();
    lastRefresh = std::move(future);
  } catch (...) {
    // Left at 1, this cache would never refresh again.
    refreshing.exchange(0);
    throw;
  }
}

void MorrowCache::OnNotification(std::uint32_t, const std::vector<std::string>&) {
  upToDate.exchange(0);
  RequestRefresh();
}

}  // namespace kronel
