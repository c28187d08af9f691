#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>

#include "morrowkit/framework/framework_handle.h"
#include "morrowkit/framework/framework_notification_handler.h"
#include "morrowkit/propbag/property_bag_handle.h"
#include "platform/short_lock.h"

namespace kronel {

class NotificationRoutes;

// The one owner of a target's change registration. A route lives as long as
// the process: it is the context the library is given, so it stays valid for
// a callback the library is still making after a removal that did not wait.
// It passes each change on to the newest cache of its target, and holds one
// registration, with the framework it was made through, while any cache of
// the target has joined it. Whether the library keys registrations by target
// or by framework object, that one registration is the only one made, and it
// is removed through the framework that made it once the last cache has left.
class NotificationRoute final : public morrowkit::FrameworkNotificationHandler, private boost::noncopyable {
 public:
  using Framework = morrowkit::FrameworkHandle<morrowkit::PropertyBagHandle>;
  using Receiver = morrowkit::FrameworkNotificationHandler;

  // What a member leaves behind. Made while making it may still fail, so
  // that leaving, which happens in destructors, allocates nothing.
  struct Departure {
    boost::shared_ptr<Framework> framework;
    Departure* next = nullptr;
  };

  NotificationRoute(std::string target, NotificationRoutes& routes);

  void OnNotification(std::uint32_t kind, const std::vector<std::string>& names) override;

  // Makes the receiver a member, and the route's receiver unless a newer one
  // has joined. A member must leave.
  void Join(const boost::weak_ptr<Receiver>& receiver, std::uint64_t generation) noexcept;
  // Registers through `framework` unless the route holds a registration it
  // trusts; one it no longer trusts is removed first, and the receiver is
  // told as if of a change. Throws what the library's refusal throws; the
  // route then holds none.
  void Register(const boost::shared_ptr<Framework>& framework);
  // A read through the member's framework failed: the member gives it back
  // and stays a member. The library's service may have gone, and with it the
  // registration, whichever member's framework made it: the route keeps it
  // for the changes it may still bring, and replaces it at the next Register.
  void GiveBack(std::unique_ptr<Departure> departure) noexcept;
  // The member leaves, with its framework if it still has one (`departure`
  // may be null). What leaving and giving back leave to do in the library
  // (the removal once no member is left, the frameworks' release) is done as
  // pool work: the leaving is often the host's last release, or inside the
  // library's callback, where a removal that waits for running callbacks
  // would wait for itself.
  void Leave(std::unique_ptr<Departure> departure) noexcept;
  // Does what is due unless a registration or removal is under way; whoever
  // runs that does it on the way out.
  void SettleIfIdle() noexcept;

 private:
  friend class NotificationRoutes;

  bool RemovalDue() const { return members_ == 0 && holder_; }
  void Depart(std::unique_ptr<Departure> departure, bool leaving) noexcept;
  void TellReceiver() noexcept;
  // Entered with busy_ set by the caller. No lock is held across a library
  // call, which may wait for a callback that needs this route.
  void Settle(std::unique_lock<platform::ShortLock>& lock) noexcept;

  const std::string target_;
  NotificationRoutes& routes_;
  platform::ShortLock lock_;
  platform::ShortCondition idle_;
  boost::weak_ptr<Receiver> current_;
  std::uint64_t currentGeneration_ = 0;
  int members_ = 0;
  bool busy_ = false;  // a registration or removal is under way
  boost::shared_ptr<Framework> holder_;
  bool distrusted_ = false;              // a member's read failed since it was made
  std::unique_ptr<Departure> departed_;  // a list, newest first

  // Guarded by the routes' lock: the link in their list of due routes.
  NotificationRoute* nextDue_ = nullptr;
  bool due_ = false;
};

}  // namespace kronel
