#include "kronel/notification_routes.h"

#include <new>
#include <utility>

#include <boost/thread/condition_variable.hpp>
#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>

#include "platform/lifetime.h"
#include "platform/thread_depth.h"

namespace kronel {
namespace {

platform::ThreadDepth& Callbacks() {
  static platform::ThreadDepth callbacks;
  return callbacks;
}

struct CallbackScope {
  CallbackScope() noexcept { Callbacks().Enter(); }
  ~CallbackScope() { Callbacks().Leave(); }
};

}  // namespace

class NotificationRoutes::Route final : public morrowkit::FrameworkNotificationHandler {
 public:
  explicit Route(std::string target) : target_(std::move(target)) {}

  void OnNotification(std::uint32_t kind, const std::vector<std::string>& names) override {
    CallbackScope inside;
    boost::shared_ptr<Receiver> receiver;
    {
      boost::lock_guard<boost::mutex> lock(mutex_);
      receiver = current_.lock();
    }
    // Should this be the last share, the receiver ends here, and leaves from
    // inside the callback.
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

  void Leave() noexcept {
    boost::unique_lock<boost::mutex> lock(mutex_);
    --members_;
    // A call under way settles the route when it ends.
    if (busy_ || !RemovalDue()) return;
    if (InsideCallback()) {
      lock.unlock();
      // Without a thread the registration stays, harmless: the route is never destroyed.
      platform::StartDetachedThread(&Route::SettleLater, this);
      return;
    }
    busy_ = true;
    Settle(lock);
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
  // member is left, then lets the next caller in. No lock is held across a
  // library call, which may wait for a callback that needs this route.
  void Settle(boost::unique_lock<boost::mutex>& lock) noexcept {
    while (RemovalDue()) {
      boost::shared_ptr<Framework> framework = std::move(holder_);
      lock.unlock();
      framework->UnregisterNotifications(target_);
      // The framework may go with this share, releasing the library's objects.
      framework.reset();
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

void NotificationRoutes::Leave(const std::string& target) noexcept {
  try {
    RouteOf(target).Leave();
  } catch (...) {
  }
}

bool NotificationRoutes::InsideCallback() noexcept { return Callbacks().Inside(); }

}  // namespace kronel
