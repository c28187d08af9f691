#include "kronel/notification_routes.h"

#include <new>

#include "platform/work_pool.h"

namespace kronel {

NotificationRoutes& NotificationRoutes::Instance() {
  // Never destroyed: the library may hold a route as its context until the
  // process ends, and pool work may still end while the module's statics go.
  alignas(NotificationRoutes) static unsigned char storage[sizeof(NotificationRoutes)];
  static NotificationRoutes* const instance = new (storage) NotificationRoutes();
  return *instance;
}

std::uint64_t NotificationRoutes::NextGeneration() { return ++nextGeneration_; }

NotificationRoute& NotificationRoutes::RouteFor(const std::string& target) {
  std::lock_guard<platform::ShortLock> lock(lock_);
  std::unique_ptr<NotificationRoute>& route = routes_[target];
  if (!route) route.reset(new NotificationRoute(target, *this));
  return *route;
}

void NotificationRoutes::MarkDue(NotificationRoute& route) noexcept {
  std::unique_lock<platform::ShortLock> lock(lock_);
  if (!route.due_) {
    route.due_ = true;
    route.nextDue_ = dueRoutes_;
    dueRoutes_ = &route;
  }
  SubmitSettling(lock);
}

void NotificationRoutes::SubmitSettling(std::unique_lock<platform::ShortLock>& lock) noexcept {
  if (deferring_ != 0 || settlerQueued_ || dueRoutes_ == nullptr) return;
  settlerQueued_ = true;
  lock.unlock();
  if (platform::SubmitWork(&NotificationRoutes::SettleDue, this)) return;
  lock.lock();
  settlerQueued_ = false;
}

void NotificationRoutes::SettleDue(void* routes) noexcept {
  NotificationRoutes& self = *static_cast<NotificationRoutes*>(routes);
  for (;;) {
    NotificationRoute* route;
    {
      std::lock_guard<platform::ShortLock> lock(self.lock_);
      route = self.dueRoutes_;
      if (route == nullptr) {
        self.settlerQueued_ = false;
        return;
      }
      self.dueRoutes_ = route->nextDue_;
      route->nextDue_ = nullptr;
      route->due_ = false;
    }
    route->SettleIfIdle();
  }
}

NotificationRoutes::SettlingBatch::SettlingBatch() noexcept {
  NotificationRoutes& routes = Instance();
  std::lock_guard<platform::ShortLock> lock(routes.lock_);
  ++routes.deferring_;
}

NotificationRoutes::SettlingBatch::~SettlingBatch() {
  NotificationRoutes& routes = Instance();
  std::unique_lock<platform::ShortLock> lock(routes.lock_);
  --routes.deferring_;
  routes.SubmitSettling(lock);
}

}  // namespace kronel
