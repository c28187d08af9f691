#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/smart_ptr/enable_shared_from_this.hpp>
#include <boost/thread/future.hpp>
#include <boost/thread/mutex.hpp>

#include "kronel/notification_route.h"
#include "kronel/retry_schedule.h"
#include "morrowkit/framework/framework_handle.h"
#include "morrowkit/framework/framework_notification_handler.h"
#include "morrowkit/propbag/property_bag_handle.h"

namespace kronel {

// The names one target offers, refreshed by a worker that runs as pool work.
// Host calls only read it or ask for a refresh; they never wait for the
// library. Always made with make_shared: a running worker holds a share, so
// the cache outlives it however early its owners let go.
//
// It heals by itself, driven by the host's requests: whatever fails is tried
// again once its back-off has passed, and the hardware is read again every
// few seconds while no registration tells of changes, every minute while one
// does, for a library that loses notifications or a service that restarts.
class MorrowCache final : public morrowkit::FrameworkNotificationHandler,
                    public boost::enable_shared_from_this<MorrowCache>,
                    private boost::noncopyable {
 public:
  using Record = morrowkit::PropertyBagHandle;
  using Framework = morrowkit::FrameworkHandle<Record>;

  struct Snapshot {
    std::vector<std::string> names;
    std::uint32_t version;
  };

  explicit MorrowCache(const std::string& targetUrl);
  ~MorrowCache();

  // False until a first refresh has ended: a list before the hardware was
  // read would show the host an empty drop-down.
  bool IsUpToDate();
  std::uint32_t GetVersion();
  std::vector<std::string> CopyNames();
  // Names and version under one lock, so a list is never paired with a
  // version it does not belong to.
  Snapshot CopySnapshot();

  // Submits a worker, or marks the cache stale when one runs. Raises
  // boost::thread_resource_error when the pool takes no work.
  void RequestRefresh();
  // Submits a worker unless one runs. For a reader that found the cache
  // stale: a running worker either had not begun at that reading, and reads
  // the hardware after it, or was marked stale by whatever made the cache
  // stale. Marking it again would only undo its start, and a reader that
  // keeps asking could be told to wait for ever.
  void RefreshIfIdle();
  // For a reader that found the cache current: submits a worker when a retry
  // or a re-read is due and none runs. Costs a clock reading otherwise. Work
  // the pool refuses counts as a failure of the read.
  void RefreshIfDue() noexcept;

  void OnNotification(std::uint32_t kind, const std::vector<std::string>& names) override;

  // Test access to the state machine.
  bool IsRefreshing() const { return refreshing.load() != 0; }
  const std::string& TargetUrl() const { return targetUrl; }

 private:
  friend class MorrowCacheTestAccess;
  struct Worker;

  enum class Ask { kMarkRunningStale, kIfIdle, kIfDue };

  void Request(Ask ask);
  void Refresh();
  bool TryRead() noexcept;
  void Connect(std::int64_t nowMs);
  void EndAttempt(bool read) noexcept;
  void GiveBackFramework() noexcept;
  // The framework with the departure made for it; null without one.
  std::unique_ptr<NotificationRoute::Departure> HandOverFramework() noexcept;
  bool IsSupportedSystem(const Record& record) const;
  void Discover(std::set<std::string>& found);

  // Made by a refresh that finds none; given back to the target's
  // notification route when a read through it fails.
  boost::shared_ptr<Framework> framework;
  boost::mutex mutex;
  std::set<std::string> names;
  std::atomic<std::uint32_t> version{100};
  std::atomic<std::uint8_t> upToDate{0};
  std::atomic<std::uint8_t> refreshing{0};
  std::string targetUrl;
  boost::unique_future<void> lastRefresh;
  std::set<std::uint32_t> deviceModels;
  std::set<std::uint32_t> systemModels;
  // Orders this cache among the caches made for the same target.
  const std::uint64_t generation;
  // The worker's thread while it registers, when a library may call at once.
  std::atomic<std::thread::id> registeringThread{};
  NotificationRoute& route;
  // Made before the framework, handed to the route with it when this cache
  // gives it back or leaves: leaving happens in a destructor, where nothing
  // may be allocated.
  std::unique_ptr<NotificationRoute::Departure> departure;

  // Set when a refresh has ended, whatever its outcome.
  std::atomic<std::uint8_t> attempted{0};
  // When the host's next request should start a read; read without a lock.
  std::atomic<std::int64_t> readDueMs{INT64_MAX};
  // Owned by whoever set `refreshing`: the worker, or a request whose
  // submission the pool refused.
  Backoff readRetry;
  Backoff registrationRetry;
  JitterSource jitter;
  // The worker's alone (and the destructor's, which no worker outlives).
  bool joined = false;
  bool registered = false;
};

// Discovery rules over one record; absent properties read as empty.
bool IsLocalSystemRecord(const morrowkit::PropertyBagHandle& record);
bool HasNetworkSource(const morrowkit::PropertyBagHandle& record);

}  // namespace kronel
