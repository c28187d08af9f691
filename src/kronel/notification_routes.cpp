#include "kronel/notification_routes.h"

#include <new>
#include <utility>
#include <vector>

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>

#include "platform/lifetime.h"

namespace kronel {

class NotificationRoutes::Route final : public morrowkit::FrameworkNotificationHandler {
 public:
  explicit Route(std::string target) : target_(std::move(target)) {}

  void OnNotification(std::uint32_t kind, const std::vector<std::string>& names) override {
    boost::shared_ptr<Receiver> receiver;
    {
      boost::lock_guard<boost::mutex> lock(mutex_);
      receiver = current_.lock();
    }
    // Should this be the last share, the receiver ends here, inside the callback.
    if (receiver) receiver->OnNotification(kind, names);
  }

  void Join(const boost::shared_ptr<Framework>& framework, const boost::weak_ptr<Receiver>& receiver,
            std::uint64_t generation) {
    boost::unique_lock<boost::mutex> lock(mutex_);
    ++members_;
    if (generation >= currentGeneration_) {
      current_ = receiver;
      currentGeneration_ = generation;
    }
    idle_.wait(lock, [this] { return !busy_; });
    if (holder_) return;
    busy_ = true;
    lock.unlock();
    try {
      framework->RegisterNotifications(target_, this);
    } catch (...) {
      lock.lock();
      Settle(lock);
      throw;
    }
    lock.lock();
    holder_ = framework;
    Settle(lock);
  }

  void Leave(boost::shared_ptr<Framework> framework) {
    {
      boost::lock_guard<boost::mutex> lock(mutex_);
      --members_;
      if (framework) retired_.push_back(std::move(framework));
    }
    // Without a thread, what is due waits for the next settling, harmless:
    // the route is never destroyed.
    platform::StartDetachedThread(&Route::SettleLater, this);
  }

 private:
  bool RemovalDue() const { return members_ == 0 && holder_; }

  static void SettleLater(void* route) noexcept {
    Route& self = *static_cast<Route*>(route);
    boost::unique_lock<boost::mutex> lock(self.mutex_);
    self.idle_.wait(lock, [&] { return !self.busy_; });
    self.busy_ = true;
    self.Settle(lock);
  }

  // Entered with busy_ set by the caller: removes the registration while no
  // member is left and lets go of the frameworks that members left behind,
  // then lets the next caller in. No lock is held across a library call,
  // which may wait for a callback that needs this route.
  void Settle(boost::unique_lock<boost::mutex>& lock) noexcept {
    while (RemovalDue() || !retired_.empty()) {
      boost::shared_ptr<Framework> removing;
      if (RemovalDue()) removing = std::move(holder_);
      std::vector<boost::shared_ptr<Framework>> retired;
      retired.swap(retired_);
      lock.unlock();
      if (removing) removing->UnregisterNotifications(target_);
      // The frameworks may go with these shares, releasing the library's objects.
      removing.reset();
      retired.clear();
      lock.lock();
    }
    busy_ = false;
    lock.unlock();
    idle_.notify_all();
  }

  const std::string target_;
  boost::mutex mutex_;
  boost::condition_variable idle_;
  boost::weak_ptr<Receiver> current_;
  std::uint64_t currentGeneration_ = 0;
  int members_ = 0;
  bool busy_ = false;  // a registration or removal is under way
  boost::shared_ptr<Framework> holder_;
  std::vector<boost::shared_ptr<Framework>> retired_;
};

NotificationRoutes& NotificationRoutes::Instance() {
  // Never destroyed: the library may hold a route as its context until the
  // process ends, and a worker may still end while the module's statics go.
  alignas(NotificationRoutes) static unsigned char storage[sizeof(NotificationRoutes)];
  static NotificationRoutes* const instance = new (storage) NotificationRoutes();
  return *instance;
}

std::uint64_t NotificationRoutes::NextGeneration() { return ++nextGeneration_; }

NotificationRoutes::Route& NotificationRoutes::RouteOf(const std::string& target) {
  boost::lock_guard<boost::mutex> lock(mutex_);
  std::unique_ptr<Route>& route = routes_[target];
  if (!route) route.reset(new Route(target));
  return *route;
}

void NotificationRoutes::Join(const std::string& target, const boost::shared_ptr<Framework>& framework,
                              const boost::weak_ptr<Receiver>& receiver, std::uint64_t generation) {
  RouteOf(target).Join(framework, receiver, generation);
}

void NotificationRoutes::Leave(const std::string& target, boost::shared_ptr<Framework> framework) noexcept {
  try {
    RouteOf(target).Leave(std::move(framework));
  } catch (...) {
  }
}

}  // namespace kronel
