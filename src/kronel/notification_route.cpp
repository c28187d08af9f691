#include "kronel/notification_route.h"

#include <utility>

#include "kronel/notification_routes.h"

namespace kronel {

NotificationRoute::NotificationRoute(std::string target, NotificationRoutes& routes)
    : target_(std::move(target)), routes_(routes) {}

void NotificationRoute::OnNotification(std::uint32_t kind, const std::vector<std::string>& names) {
  boost::shared_ptr<Receiver> receiver;
  {
    std::lock_guard<platform::ShortLock> lock(lock_);
    receiver = current_.lock();
  }
  // Should this be the last share, the receiver ends here, inside the callback.
  if (receiver) receiver->OnNotification(kind, names);
}

void NotificationRoute::Join(const boost::weak_ptr<Receiver>& receiver, std::uint64_t generation) noexcept {
  std::lock_guard<platform::ShortLock> lock(lock_);
  ++members_;
  if (generation >= currentGeneration_) {
    current_ = receiver;
    currentGeneration_ = generation;
  }
}

void NotificationRoute::Register(const boost::shared_ptr<Framework>& framework) {
  std::unique_lock<platform::ShortLock> lock(lock_);
  idle_.Wait(lock, [this] { return !busy_; });
  if (holder_ && !distrusted_) return;
  busy_ = true;
  // The registration given up goes before the new one is made: a library
  // that keys registrations by target would remove the new one with it.
  boost::shared_ptr<Framework> givenUp = std::move(holder_);
  distrusted_ = false;
  const bool replacing = static_cast<bool>(givenUp);
  lock.unlock();
  if (givenUp) givenUp->UnregisterNotifications(target_);
  givenUp.reset();
  try {
    framework->RegisterNotifications(target_, this);
  } catch (...) {
    lock.lock();
    Settle(lock);
    if (replacing) TellReceiver();
    throw;
  }
  lock.lock();
  holder_ = framework;
  Settle(lock);
  if (replacing) TellReceiver();
}

void NotificationRoute::TellReceiver() noexcept {
  // The receiver relied on the registration given up: a change may have
  // come while none was there, and, should the new one have been refused,
  // it registers itself at its next read.
  try {
    OnNotification(0, {});
  } catch (...) {
  }
}

void NotificationRoute::GiveBack(std::unique_ptr<Departure> departure) noexcept {
  Depart(std::move(departure), false);
}

void NotificationRoute::Leave(std::unique_ptr<Departure> departure) noexcept {
  Depart(std::move(departure), true);
}

void NotificationRoute::Depart(std::unique_ptr<Departure> departure, bool leaving) noexcept {
  {
    std::lock_guard<platform::ShortLock> lock(lock_);
    if (leaving) --members_;
    if (departure) {
      // A service that restarted dropped the registration whichever
      // framework made it.
      if (!leaving && holder_) distrusted_ = true;
      departure->next = departed_.release();
      departed_ = std::move(departure);
    }
  }
  routes_.MarkDue(*this);
}

void NotificationRoute::SettleIfIdle() noexcept {
  std::unique_lock<platform::ShortLock> lock(lock_);
  if (busy_) return;
  busy_ = true;
  Settle(lock);
}

void NotificationRoute::Settle(std::unique_lock<platform::ShortLock>& lock) noexcept {
  while (RemovalDue() || departed_) {
    boost::shared_ptr<Framework> removing;
    if (RemovalDue()) {
      removing = std::move(holder_);
      distrusted_ = false;
    }
    std::unique_ptr<Departure> departed = std::move(departed_);
    lock.unlock();
    if (removing) removing->UnregisterNotifications(target_);
    // The frameworks may go with these shares, releasing the library's objects.
    removing.reset();
    while (departed) departed.reset(departed->next);
    lock.lock();
  }
  busy_ = false;
  lock.unlock();
  idle_.NotifyAll();
}

}  // namespace kronel
