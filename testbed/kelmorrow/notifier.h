#pragma once
// Notification handlers per target and the one thread that calls them, fed
// by a queue. The thread runs only while there is something to deliver, so
// that an idle library can be unloaded without a thread of its own inside.
// Handlers are called without any lock of the library held.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "morrowkit/interfaces.h"

namespace kelmorrow {

class Notifier {
 public:
  // Both null removes the registration. Replacing or removing one waits for
  // a callback on that target that is running, unless called from inside one.
  HRESULT SetHandler(const std::string& target, morrowkit::IqvSysNotificationHandler* handler, void* context);
  bool HasHandler(const std::string& target) const;

  // Dropped when the target has no handler.
  void Post(const std::string& target, morrowkit::ChangeKind kind, std::vector<platform::WideString> names);

  // True once the queue is empty and no callback runs (but the caller's own).
  bool WaitIdle(std::uint32_t timeoutMs);

  // Drops the queue, waits for a running callback, ends the thread and
  // releases every handler.
  void Stop();
  // For unloading, where joining may deadlock on the loader's lock: drops the
  // queue, gives a running callback a second to end, releases the handlers
  // and lets the thread go without joining it. True when no thread is left.
  bool Abandon();

  std::uint64_t Delivered() const;
  std::uint64_t Dropped() const;
  HRESULT LastResult() const;
  void ResetStatistics();

  static bool OnDeliveryThread();

 private:
  struct Registration {
    morrowkit::IqvSysNotificationHandler* handler;
    void* context;
  };
  struct Notification {
    std::string target;
    morrowkit::ChangeKind kind;
    std::vector<platform::WideString> names;
  };

  void Run(std::uint64_t generation);
  bool IdleLocked(bool self) const;
  std::vector<Registration> TakeRegistrationsLocked();

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  std::map<std::string, Registration> registrations_;
  std::deque<Notification> queue_;
  std::map<std::string, int> running_;  // callbacks running, per target
  int busy_ = 0;
  std::thread thread_;            // the last one started; it may have ended
  bool active_ = false;           // a thread of this generation works the queue
  int threadsAlive_ = 0;
  std::chrono::steady_clock::time_point lastExit_;
  std::uint64_t generation_ = 0;  // a thread ends when it no longer matches
  std::uint64_t delivered_ = 0;
  std::uint64_t dropped_ = 0;
  HRESULT lastResult_ = 0;
};

}  // namespace kelmorrow
