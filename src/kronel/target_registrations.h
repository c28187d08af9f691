#pragma once
#include <cstdint>
#include <map>
#include <string>

#include <boost/noncopyable.hpp>
#include <boost/thread/condition_variable.hpp>
#include <boost/thread/mutex.hpp>

#include "morrowkit/framework/framework_handle.h"
#include "morrowkit/framework/framework_notification_handler.h"
#include "morrowkit/propbag/property_bag_handle.h"

namespace kronel {

// The library keeps one notification registration per target and removes it
// by target alone, while a dropped cache may live on until its worker ends.
// So registrations of one target are made one at a time, the newest cache
// wins, and a cache removes the registration only while it still holds it:
// once a newer cache has registered, the library no longer calls the older.
class TargetRegistrations : private boost::noncopyable {
 public:
  using Framework = morrowkit::FrameworkHandle<morrowkit::PropertyBagHandle>;
  using Receiver = morrowkit::FrameworkNotificationHandler;

  static TargetRegistrations& Instance();

  // Orders the caches made for one target.
  std::uint64_t NextGeneration();

  // Registers the receiver unless a newer cache holds the target already.
  void Register(Framework& framework, const std::string& target, Receiver* receiver, std::uint64_t generation);
  // Removes the target's registration if the receiver still holds it.
  void Unregister(Framework& framework, const std::string& target, const Receiver* receiver) noexcept;

 private:
  struct Target {
    const Receiver* holder = nullptr;
    std::uint64_t generation = 0;
    bool busy = false;  // a call into the library for this target is under way
  };

  TargetRegistrations() = default;
  Target& WaitUntilIdle(boost::unique_lock<boost::mutex>& lock, const std::string& target);
  void Done(const std::string& target);

  boost::mutex mutex_;
  boost::condition_variable idle_;
  std::map<std::string, Target> targets_;
  std::uint64_t nextGeneration_ = 0;
};

}  // namespace kronel
