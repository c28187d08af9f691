#include "kronel/morrow_cache.h"

#include <memory>
#include <utility>

#include <boost/thread/exceptions.hpp>

#include "kronel/model_codes.h"
#include "kronel/notification_routes.h"
#include "platform/clock.h"
#include "platform/work_pool.h"

namespace kronel {

MorrowCache::MorrowCache(const std::string& targetUrl)
    : targetUrl(targetUrl),
      deviceModels(std::begin(kDeviceModelCodes), std::end(kDeviceModelCodes)),
      systemModels(std::begin(kSystemModelCodes), std::end(kSystemModelCodes)),
      generation(NotificationRoutes::Instance().NextGeneration()),
      route(NotificationRoutes::Instance().RouteFor(targetUrl)),
      jitter(generation) {}

MorrowCache::~MorrowCache() {
  if (joined) route.Leave(HandOverFramework());
}

std::unique_ptr<NotificationRoute::Departure> MorrowCache::HandOverFramework() noexcept {
  if (!framework) return nullptr;
  departure->framework = std::move(framework);
  return std::move(departure);
}

void MorrowCache::GiveBackFramework() noexcept {
  route.GiveBack(HandOverFramework());
  registered = false;
}

bool MorrowCache::IsUpToDate() {
  boost::lock_guard<boost::mutex> lock(mutex);
  return upToDate.load() != 0 && attempted.load() != 0;
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

// What a worker owns: its share of the cache and the task.
struct MorrowCache::Worker {
  boost::shared_ptr<MorrowCache> cache;
  boost::packaged_task<void()> task;
  bool entered = false;

  static void Run(void* argument) noexcept {
    std::unique_ptr<Worker> self(static_cast<Worker*>(argument));
    try {
      self->task();
    } catch (...) {
    }
    // A task that failed before its body ran would leave the cache
    // refreshing, and so never refreshing again.
    if (!self->entered) {
      self->cache->EndAttempt(false);
      self->cache->refreshing.exchange(0);
    }
  }
};

void MorrowCache::RequestRefresh() { Request(Ask::kMarkRunningStale); }

void MorrowCache::RefreshIfIdle() { Request(Ask::kIfIdle); }

void MorrowCache::RefreshIfDue() noexcept {
  if (platform::MonotonicMilliseconds() < readDueMs.load(std::memory_order_relaxed)) return;
  try {
    Request(Ask::kIfDue);
  } catch (...) {
  }
}

void MorrowCache::Request(Ask ask) {
  // Declared before the lock, so that the last share of this cache, should
  // this call hold it in the end, goes after unlocking; the worker gets a
  // copy, so a worker that cannot start never takes the last one with it.
  boost::shared_ptr<MorrowCache> self;
  boost::lock_guard<boost::mutex> lock(mutex);
  if (refreshing.load() != 0) {
    if (ask == Ask::kMarkRunningStale) upToDate.exchange(0);
    return;
  }
  // Another reader may have started and ended the due read meanwhile.
  if (ask == Ask::kIfDue && platform::MonotonicMilliseconds() < readDueMs.load()) return;
  // A cache whose last owner is letting go submits nothing.
  self = weak_from_this().lock();
  if (!self) return;

  refreshing.exchange(1);
  // Nothing is due while a refresh runs: requests meanwhile take no lock.
  // The worker sets what is due next as it ends, after this store.
  const std::int64_t dueMs = readDueMs.exchange(INT64_MAX);
  try {
    // The task holds a plain pointer and the share lives beside it: the
    // future kept in lastRefresh shares the task's state, and would keep the
    // cache forever.
    auto worker = std::make_unique<Worker>();
    worker->cache = self;
    worker->task = boost::packaged_task<void()>([this, entered = &worker->entered] {
      *entered = true;
      Refresh();
    });
    boost::unique_future<void> future = worker->task.get_future();
    if (!platform::SubmitWork(&Worker::Run, worker.get())) throw boost::thread_resource_error();
    worker.release();
    lastRefresh = std::move(future);
  } catch (...) {
    if (ask == Ask::kIfDue) {
      // The host was not waiting for this read: it backs off like a failed one.
      readRetry.Failed(platform::MonotonicMilliseconds(), jitter.Draw());
      readDueMs.store(readRetry.DueMs());
      refreshing.exchange(0);
      return;
    }
    readDueMs.store(dueMs);
    // Stale, so that the next request asks again rather than being told
    // that nothing changed.
    if (ask == Ask::kMarkRunningStale) upToDate.exchange(0);
    // Left at 1, this cache would never refresh again.
    refreshing.exchange(0);
    throw;
  }
}

void MorrowCache::OnNotification(std::uint32_t, const std::vector<std::string>&) {
  // Told inline while this cache's own worker registers: the hardware query
  // that follows reads what changed.
  if (registeringThread.load() == std::this_thread::get_id()) return;
  upToDate.exchange(0);
  RequestRefresh();
}

}  // namespace kronel
