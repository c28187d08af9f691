#pragma once
// Notification handlers and the calls the library makes to them: on one
// thread of the library's own, fed by a queue, or on the thread of the call
// that caused them, as the profile says. The thread runs only while there is
// something to deliver, so that an idle library can be unloaded without a
// thread of its own inside. Handlers are called without any lock of the
// library held, and each call holds a reference of its own on the handler.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "late_releaser.h"
#include "morrowkit/interfaces.h"
#include "profile.h"
#include "registrations.h"

namespace kelmorrow {

class Notifier {
 public:
  // Applies to what happens next; registrations stay, but for a profile
  // without notifications, which ends them all as Restart does.
  void SetProfile(const Profile& profile);
  // The profile `change` makes of the one in force, under the notifier's
  // lock; an exception from it changes nothing.
  void ChangeProfile(const std::function<Profile(const Profile&)>& change);
  Profile profile() const;

  // Both null removes the registration. A removal or replacement waits for
  // callbacks of the registrations it ends, unless the profile says not to or
  // the caller is inside a callback. `owner` is the serial number of the
  // framework object, `service` the Service() it was made under; `names` are
  // the target's resource names, for the call a new registration gets at
  // once under inline delivery.
  HRESULT SetHandler(const std::string& target, std::uint64_t owner, std::uint64_t service,
                     morrowkit::IqvSysNotificationHandler* handler, void* context,
                     std::vector<platform::WideString> names);
  bool HasHandler(const std::string& target) const;
  std::uint64_t RegistrationCount() const;

  // Reaches every registration of the target, in the order they were made;
  // dropped when there is none. Under inline delivery the callbacks run
  // before Post returns, so no lock of the library may be held.
  void Post(const std::string& target, morrowkit::ChangeKind kind, std::vector<platform::WideString> names);

  // The service restarts: every registration ends without a callback, as a
  // removal would end it, and the queue is dropped. Framework objects made
  // before are disconnected: they are told apart by Service().
  void Restart();
  std::uint64_t Service() const;

  // True once the queue is empty, no callback runs (but the caller's own) and
  // no late release is pending.
  bool WaitIdle(std::uint32_t timeoutMs);

  // Drops the queue, waits for running callbacks, ends the thread and
  // releases every handler, late releases included.
  void Stop();
  // For unloading, where joining may deadlock on the loader's lock: drops the
  // queue, gives running callbacks and releases a second to end, releases the
  // handlers and lets the threads go without joining them. True when no
  // thread is left.
  bool Abandon();

  std::uint64_t Delivered() const;
  std::uint64_t Dropped() const;
  HRESULT LastResult() const;
  void ResetStatistics();

  // On this thread, inside a callback of this library.
  static bool InsideCallback();

 private:
  struct Notification {
    std::string target;
    morrowkit::ChangeKind kind;
    std::vector<platform::WideString> names;
  };

  void Run(std::uint64_t generation);
  void DeliverLocked(std::unique_lock<std::mutex>& lock, Notification& notification,
                     std::uint64_t generation);
  // A callback is under way from BeginLocked to EndLocked; Call makes it without the lock.
  void BeginLocked(const Registration& registration);
  HRESULT Call(const Registration& registration, morrowkit::ChangeKind kind,
               std::vector<platform::WideString> names);
  void EndLocked(std::uint64_t id, HRESULT result);
  bool RunningLocked(const std::vector<Registration>& registrations) const;
  void ReleaseEnded(const std::vector<Registration>& ended, std::uint32_t lateReleaseMs);
  bool IdleLocked(int self) const;
  // Why a registration or removal through an object made under `service` is
  // refused now, or S_OK.
  HRESULT RefusalLocked(std::uint64_t service) const;
  // Every registration and queued notification ends; a removal's wait included.
  std::vector<Registration> EndAllLocked(std::unique_lock<std::mutex>& lock);
  void LetGoOfThreadsLocked();

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  Profile profile_;
  Registrations registrations_;
  std::deque<Notification> queue_;
  std::map<std::uint64_t, int> running_;  // callbacks running, per registration id
  int busy_ = 0;
  std::thread thread_;            // the last one started; it may have ended
  // Threads that left Run, perhaps still on their way out: only Stop joins them.
  std::vector<std::thread> retired_;
  bool active_ = false;           // a thread of this generation works the queue
  int threadsAlive_ = 0;
  int started_ = 0;  // threads that have entered Run
  std::chrono::steady_clock::time_point lastExit_;
  std::uint64_t generation_ = 0;  // a thread ends when it no longer matches
  std::atomic<std::uint64_t> service_{0};  // restarts so far; changed under mutex_
  std::uint64_t delivered_ = 0;
  std::uint64_t dropped_ = 0;
  HRESULT lastResult_ = 0;
  LateReleaser late_;
};

}  // namespace kelmorrow
