#include "kronel/target_registrations.h"

#include <new>

namespace kronel {

TargetRegistrations& TargetRegistrations::Instance() {
  // Never destroyed, since caches may still end while the module's statics
  // go; kept in static storage, so unloading the module leaves no block behind.
  alignas(TargetRegistrations) static unsigned char storage[sizeof(TargetRegistrations)];
  static TargetRegistrations* const instance = new (storage) TargetRegistrations();
  return *instance;
}

std::uint64_t TargetRegistrations::NextGeneration() {
  boost::lock_guard<boost::mutex> lock(mutex_);
  return ++nextGeneration_;
}

TargetRegistrations::Target& TargetRegistrations::WaitUntilIdle(boost::unique_lock<boost::mutex>& lock,
                                                                 const std::string& target) {
  // Looked up again after each wait: Done may erase the entry.
  while (targets_[target].busy) idle_.wait(lock);
  return targets_[target];
}

void TargetRegistrations::Done(const std::string& target) {
  {
    boost::lock_guard<boost::mutex> lock(mutex_);
    auto entry = targets_.find(target);
    entry->second.busy = false;
    if (entry->second.holder == nullptr) targets_.erase(entry);
  }
  idle_.notify_all();
}

void TargetRegistrations::Register(Framework& framework, const std::string& target, Receiver* receiver,
                                   std::uint64_t generation) {
  {
    boost::unique_lock<boost::mutex> lock(mutex_);
    Target& entry = WaitUntilIdle(lock, target);
    if (entry.holder != nullptr && entry.generation > generation) return;
    entry.busy = true;
  }
  // The library calls are made unlocked: they may wait for a running callback.
  try {
    framework.RegisterNotifications(target, receiver);
  } catch (...) {
    Done(target);
    throw;
  }
  {
    boost::lock_guard<boost::mutex> lock(mutex_);
    Target& entry = targets_[target];
    entry.holder = receiver;
    entry.generation = generation;
  }
  Done(target);
}

void TargetRegistrations::Unregister(Framework& framework, const std::string& target,
                                     const Receiver* receiver) noexcept {
  try {
    {
      boost::unique_lock<boost::mutex> lock(mutex_);
      Target& entry = WaitUntilIdle(lock, target);
      if (entry.holder != receiver) {
        if (entry.holder == nullptr) targets_.erase(target);
        return;
      }
      entry.holder = nullptr;
      entry.busy = true;
    }
    framework.UnregisterNotifications(target);
    Done(target);
  } catch (...) {
  }
}

}  // namespace kronel
