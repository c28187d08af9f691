#pragma once
// Releases handler references some time after their registration went, from
// a thread of the library's own that runs only while a release is pending.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "morrowkit/interfaces.h"

namespace kelmorrow {

class LateReleaser {
 public:
  using Clock = std::chrono::steady_clock;

  // Takes over one reference held on the handler.
  void Schedule(morrowkit::IqvSysNotificationHandler* handler, std::chrono::milliseconds delay);

  // True once no release is pending or under way (but the caller's own).
  bool WaitIdle(Clock::time_point deadline);
  bool Idle() const;

  // Releases every pending reference at once and ends the thread.
  void Stop();
  // For unloading, where joining may deadlock on the loader's lock: releases
  // every pending reference at once, gives a release under way until the
  // deadline and lets the thread go without joining it. True when no thread
  // is left.
  bool Abandon(Clock::time_point deadline);

 private:
  void Run(std::uint64_t generation);
  std::multimap<Clock::time_point, morrowkit::IqvSysNotificationHandler*> TakeLocked();
  void StartLocked(std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::multimap<Clock::time_point, morrowkit::IqvSysNotificationHandler*> pending_;
  int releasing_ = 0;
  std::thread thread_;
  // Threads that left Run, perhaps still on their way out: only Stop joins them.
  std::vector<std::thread> retired_;
  bool active_ = false;
  int threadsAlive_ = 0;
  int started_ = 0;  // threads that have entered Run
  Clock::time_point lastExit_;
  std::uint64_t generation_ = 0;
};

}  // namespace kelmorrow
