#include "late_releaser.h"

#include <system_error>
#include <utility>

#include "handler_refs.h"
#include "join_thread.h"

namespace kelmorrow {
namespace {

thread_local bool t_releasing = false;

}  // namespace

void LateReleaser::Schedule(morrowkit::IqvSysNotificationHandler* handler, std::chrono::milliseconds delay) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto added = pending_.emplace(Clock::now() + delay, handler);
    try {
      StartLocked(lock);
      changed_.notify_all();
      return;
    } catch (const std::system_error&) {
      pending_.erase(added);
    }
  }
  // Without a thread, releasing now beats keeping the reference for good.
  DropHandler(handler);
}

void LateReleaser::StartLocked(std::unique_lock<std::mutex>& lock) {
  if (active_) return;
  // The last thread has left its loop, but its way out takes the loader lock
  // on Windows, which the caller may hold: it is joined later, by Stop.
  if (thread_.joinable()) retired_.push_back(std::move(thread_));
  thread_ = std::thread(&LateReleaser::Run, this, generation_);
  active_ = true;
  ++threadsAlive_;
  // On Windows a new thread enters its function only after the loader lock
  // is free: until it has, an unloading library could not wait for it, and
  // it would start in code that is gone. Inside the loader lock it never
  // starts, so the wait is bounded.
  const int started = started_;
  changed_.wait_for(lock, std::chrono::seconds(1), [&] { return started_ != started; });
}

void LateReleaser::Run(std::uint64_t generation) {
  t_releasing = true;
  MarkLibraryThread();
  std::unique_lock<std::mutex> lock(mutex_);
  ++started_;
  changed_.notify_all();
  while (generation_ == generation && !pending_.empty()) {
    auto first = pending_.begin();
    if (Clock::now() < first->first) {
      changed_.wait_until(lock, first->first);
      continue;
    }
    morrowkit::IqvSysNotificationHandler* handler = first->second;
    pending_.erase(first);
    ++releasing_;
    lock.unlock();
    DropHandler(handler);
    lock.lock();
    --releasing_;
    changed_.notify_all();
  }
  if (generation_ == generation) active_ = false;
  --threadsAlive_;
  lastExit_ = Clock::now();
  changed_.notify_all();
}

bool LateReleaser::Idle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_.empty() && releasing_ == (t_releasing ? 1 : 0);
}

bool LateReleaser::WaitIdle(Clock::time_point deadline) {
  int self = t_releasing ? 1 : 0;
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_until(lock, deadline, [&] { return pending_.empty() && releasing_ == self; });
}

std::multimap<LateReleaser::Clock::time_point, morrowkit::IqvSysNotificationHandler*>
LateReleaser::TakeLocked() {
  ++generation_;
  active_ = false;
  changed_.notify_all();
  return std::exchange(pending_, {});
}

void LateReleaser::Stop() {
  int self = t_releasing ? 1 : 0;
  std::thread thread;
  std::vector<std::thread> retired;
  std::multimap<Clock::time_point, morrowkit::IqvSysNotificationHandler*> released;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released = TakeLocked();
    thread = std::move(thread_);
    retired = std::exchange(retired_, {});
  }
  for (const auto& entry : released) DropHandler(entry.second);
  for (std::thread& ended : retired) JoinUnlessSelf(ended);
  JoinUnlessSelf(thread);
  std::unique_lock<std::mutex> lock(mutex_);
  // A thread let go by a Stop from inside a release may still be in one.
  changed_.wait(lock, [&] { return releasing_ == self; });
}

bool LateReleaser::Abandon(Clock::time_point deadline) {
  constexpr auto kWayOut = std::chrono::milliseconds(50);
  std::multimap<Clock::time_point, morrowkit::IqvSysNotificationHandler*> released;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released = TakeLocked();
  }
  for (const auto& entry : released) DropHandler(entry.second);
  bool threadLeft;
  Clock::duration sinceExit;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // A thread killed at process exit never comes back: do not wait for good.
    changed_.wait_until(lock, deadline, [&] { return threadsAlive_ == 0; });
    threadLeft = threadsAlive_ != 0;
    if (thread_.joinable()) thread_.detach();
    for (std::thread& ended : retired_) ended.detach();
    retired_.clear();
    sinceExit = Clock::now() - lastExit_;
  }
  // A thread that has just ended may still be on its way out of the library's code.
  if (!threadLeft && sinceExit < kWayOut) std::this_thread::sleep_for(kWayOut - sinceExit);
  return !threadLeft;
}

}  // namespace kelmorrow
