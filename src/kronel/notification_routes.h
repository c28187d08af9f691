#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/weak_ptr.hpp>

#include "morrowkit/framework/framework_handle.h"
#include "morrowkit/framework/framework_notification_handler.h"
#include "morrowkit/propbag/property_bag_handle.h"

namespace kronel {

// The one owner of the library's change registrations. Each target has one
// route, kept for the life of the process: it is the context the library is
// given, so it stays valid for a callback the library is still making after
// a removal that did not wait. A route passes each change on to the newest
// cache of its target, and holds one registration, with the framework it was
// made through, while any cache of the target has joined it. Whether the
// library keys registrations by target or by framework object, that one
// registration is the only one made, and it is removed through the framework
// that made it, once the last cache has left.
class NotificationRoutes : private boost::noncopyable {
 public:
  using Framework = morrowkit::FrameworkHandle<morrowkit::PropertyBagHandle>;
  using Receiver = morrowkit::FrameworkNotificationHandler;

  static NotificationRoutes& Instance();

  // Orders the caches made for one target: a later one is newer.
  std::uint64_t NextGeneration();

  // Makes the receiver a member of its target's route, and the route's
  // receiver unless a newer one has joined; registers with the library
  // through `framework` when the route holds no registration. The receiver is
  // a member even when the registration throws, and must leave.
  void Join(const std::string& target, const boost::shared_ptr<Framework>& framework,
            const boost::weak_ptr<Receiver>& receiver, std::uint64_t generation);
  // The receiver leaves and hands over its framework. What that leaves to
  // do in the library, removing the registration once no member is left and
  // letting go of the framework, is done on a thread of the module's own:
  // the leaving is often the host's last release, or inside the library's
  // callback, where a removal that waits for running callbacks would wait
  // for itself.
  void Leave(const std::string& target, boost::shared_ptr<Framework> framework) noexcept;

 private:
  class Route;

  NotificationRoutes() = default;
  ~NotificationRoutes() = delete;
  Route& RouteOf(const std::string& target);

  boost::mutex mutex_;
  std::map<std::string, std::unique_ptr<Route>> routes_;
  std::atomic<std::uint64_t> nextGeneration_{0};
};

}  // namespace kronel
