#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include <boost/noncopyable.hpp>

#include "kronel/notification_route.h"
#include "platform/short_lock.h"

namespace kronel {

// The routes of every target, and the pool work that settles them: what
// leaving caches leave to do in the library runs there, never on the thread
// that lets a cache go.
class NotificationRoutes : private boost::noncopyable {
 public:
  static NotificationRoutes& Instance();

  // Orders the caches made for one target: a later one is newer.
  std::uint64_t NextGeneration();

  // The target's route, made on first use and kept for the life of the process.
  NotificationRoute& RouteFor(const std::string& target);

  // The route has work left in the library: it is settled by pool work,
  // one piece for every route due meanwhile. Without a pool, what is due
  // waits for the next settling, harmless: a route is never destroyed.
  void MarkDue(NotificationRoute& route) noexcept;

  // While a batch is open, routes that become due wait, so that what many
  // caches leave behind as they go together reaches the pool as one piece.
  class SettlingBatch : private boost::noncopyable {
   public:
    SettlingBatch() noexcept;
    ~SettlingBatch();
  };

 private:
  NotificationRoutes() = default;
  ~NotificationRoutes() = delete;

  // Entered locked: submits the settling when it is due and allowed.
  void SubmitSettling(std::unique_lock<platform::ShortLock>& lock) noexcept;
  static void SettleDue(void* routes) noexcept;

  platform::ShortLock lock_;
  std::map<std::string, std::unique_ptr<NotificationRoute>> routes_;
  NotificationRoute* dueRoutes_ = nullptr;
  int deferring_ = 0;
  bool settlerQueued_ = false;
  std::atomic<std::uint64_t> nextGeneration_{0};
};

}  // namespace kronel
