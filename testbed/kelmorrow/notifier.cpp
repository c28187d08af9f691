#include "notifier.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "enum_string.h"
#include "handler_refs.h"
#include "join_thread.h"
#include "library.h"
#include "operation.h"

namespace kelmorrow {
namespace {

// Callbacks of this library under way on this thread; inline delivery nests them.
thread_local int t_callbacks = 0;

HRESULT Deliver(morrowkit::IqvSysNotificationHandler* handler, void* context, morrowkit::ChangeKind kind,
                std::vector<platform::WideString> names) {
  EnumString* enumerator;
  try {
    enumerator = EnumString::Create(std::move(names));
  } catch (const std::bad_alloc&) {
    return platform::kE_OUTOFMEMORY;
  }
  HRESULT result;
  try {
    result = handler->OnConfigurationChanged(context, kind, enumerator);
  } catch (...) {
    result = platform::kE_FAIL;
  }
  enumerator->Release();
  return result;
}

}  // namespace

bool Notifier::InsideCallback() { return t_callbacks != 0; }

void Notifier::SetProfile(const Profile& profile) {
  ChangeProfile([&](const Profile&) { return profile; });
}

void Notifier::ChangeProfile(const std::function<Profile(const Profile&)>& change) {
  std::vector<Registration> ended;
  std::uint32_t lateReleaseMs;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    profile_ = change(profile_);
    if (profile_.notifications == Profile::Notifications::kUnsupported) ended = EndAllLocked(lock);
    lateReleaseMs = profile_.lateReleaseMs;
  }
  ReleaseEnded(ended, lateReleaseMs);
}

std::uint64_t Notifier::Service() const { return service_.load(); }

void Notifier::Restart() {
  std::vector<Registration> ended;
  std::uint32_t lateReleaseMs;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    ++service_;
    ended = EndAllLocked(lock);
    lateReleaseMs = profile_.lateReleaseMs;
  }
  ReleaseEnded(ended, lateReleaseMs);
}

std::vector<Registration> Notifier::EndAllLocked(std::unique_lock<std::mutex>& lock) {
  dropped_ += queue_.size();
  queue_.clear();
  std::vector<Registration> ended = registrations_.TakeAll();
  if (profile_.removal == Profile::Removal::kWaits && t_callbacks == 0) {
    idle_.wait(lock, [&] { return !RunningLocked(ended); });
  }
  idle_.notify_all();
  return ended;
}

HRESULT Notifier::RefusalLocked(std::uint64_t service) const {
  if (service != service_.load()) return kRpcE_Disconnected;
  if (profile_.notifications == Profile::Notifications::kUnsupported) return kE_NotImpl;
  return platform::kS_OK;
}

Profile Notifier::profile() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return profile_;
}

HRESULT Notifier::SetHandler(const std::string& target, std::uint64_t owner, std::uint64_t service,
                             morrowkit::IqvSysNotificationHandler* handler, void* context,
                             std::vector<platform::WideString> names) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    HRESULT refused = RefusalLocked(service);
    if (refused != platform::kS_OK) return refused;
  }
  if (handler == nullptr && context != nullptr) return platform::kE_INVALIDARG;
  if (handler != nullptr) HoldHandler(handler);
  std::vector<Registration> ended;
  std::optional<Registration> first;
  std::uint32_t lateReleaseMs;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // A restart or a profile without notifications may have come meanwhile.
    HRESULT refused = RefusalLocked(service);
    if (refused != platform::kS_OK) {
      lock.unlock();
      if (handler != nullptr) DropHandler(handler);
      return refused;
    }
    bool perFramework = profile_.registrations == Profile::Registrations::kPerFramework;
    if (handler != nullptr) {
      Registration added{0, target, owner, handler, context};
      added.id = registrations_.Set(added, perFramework, ended);
      if (profile_.delivery == Profile::Delivery::kInline) {
        first = added;
        BeginLocked(added);
      }
    } else {
      ended = registrations_.Remove(target, owner, perFramework);
    }
    if (profile_.removal == Profile::Removal::kWaits && t_callbacks == 0) {
      idle_.wait(lock, [&] { return !RunningLocked(ended); });
    }
    lateReleaseMs = profile_.lateReleaseMs;
  }
  ReleaseEnded(ended, lateReleaseMs);
  if (first) {
    HRESULT result = Call(*first, morrowkit::kChangeRecordsReplaced, std::move(names));
    std::lock_guard<std::mutex> lock(mutex_);
    EndLocked(first->id, result);
  }
  return handler != nullptr || !ended.empty() ? platform::kS_OK : platform::kS_FALSE;
}

bool Notifier::RunningLocked(const std::vector<Registration>& registrations) const {
  return std::any_of(registrations.begin(), registrations.end(),
                     [&](const Registration& r) { return running_.count(r.id) != 0; });
}

void Notifier::ReleaseEnded(const std::vector<Registration>& ended, std::uint32_t lateReleaseMs) {
  for (const Registration& registration : ended) {
    if (lateReleaseMs == 0) {
      DropHandler(registration.handler);
    } else {
      late_.Schedule(registration.handler, std::chrono::milliseconds(lateReleaseMs));
    }
  }
}

bool Notifier::HasHandler(const std::string& target) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return registrations_.Has(target);
}

std::uint64_t Notifier::RegistrationCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return registrations_.size();
}

void Notifier::Post(const std::string& target, morrowkit::ChangeKind kind,
                    std::vector<platform::WideString> names) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!registrations_.Has(target)) {
    ++dropped_;
    return;
  }
  Notification notification{target, kind, std::move(names)};
  if (profile_.delivery == Profile::Delivery::kInline) {
    DeliverLocked(lock, notification, generation_);
    return;
  }
  queue_.push_back(std::move(notification));
  if (!active_) {
    // The last thread has left the queue, but its way out takes the loader
    // lock on Windows, which the caller may hold: it is joined later, by Stop.
    if (thread_.joinable()) retired_.push_back(std::move(thread_));
    thread_ = std::thread(&Notifier::Run, this, generation_);
    active_ = true;
    ++threadsAlive_;
    // As for late releases: a thread still waiting for the loader lock to
    // enter Run could neither be waited for at unloading nor start safely.
    const int started = started_;
    idle_.wait_for(lock, std::chrono::seconds(1), [&] { return started_ != started; });
  }
}

void Notifier::Run(std::uint64_t generation) {
  MarkLibraryThread();
  std::unique_lock<std::mutex> lock(mutex_);
  ++started_;
  idle_.notify_all();
  while (generation_ == generation && !queue_.empty()) {
    Notification notification = std::move(queue_.front());
    queue_.pop_front();
    DeliverLocked(lock, notification, generation);
  }
  if (generation_ == generation) active_ = false;
  --threadsAlive_;
  lastExit_ = std::chrono::steady_clock::now();
  idle_.notify_all();
}

void Notifier::DeliverLocked(std::unique_lock<std::mutex>& lock, Notification& notification,
                             std::uint64_t generation) {
  std::vector<std::uint64_t> ids = registrations_.IdsOf(notification.target);
  bool reached = false;
  for (std::size_t i = 0; i < ids.size() && generation_ == generation; ++i) {
    const Registration* found = registrations_.Find(ids[i]);
    if (found == nullptr) continue;
    Registration registration = *found;
    BeginLocked(registration);
    reached = true;
    lock.unlock();
    HRESULT result = Call(registration, notification.kind,
                          i + 1 == ids.size() ? std::move(notification.names) : notification.names);
    lock.lock();
    EndLocked(registration.id, result);
  }
  if (!reached) {
    ++dropped_;
    idle_.notify_all();
  }
}

void Notifier::BeginLocked(const Registration& registration) {
  HoldHandler(registration.handler);
  ++running_[registration.id];
  ++busy_;
}

HRESULT Notifier::Call(const Registration& registration, morrowkit::ChangeKind kind,
                       std::vector<platform::WideString> names) {
  ++t_callbacks;
  Library::Instance().EnterCallback();
  HRESULT result = Deliver(registration.handler, registration.context, kind, std::move(names));
  DropHandler(registration.handler);
  --t_callbacks;
  return result;
}

void Notifier::EndLocked(std::uint64_t id, HRESULT result) {
  auto running = running_.find(id);
  if (--running->second == 0) running_.erase(running);
  --busy_;
  ++delivered_;
  lastResult_ = result;
  idle_.notify_all();
}

bool Notifier::IdleLocked(int self) const { return queue_.empty() && busy_ == self; }

bool Notifier::WaitIdle(std::uint32_t timeoutMs) {
  const int self = t_callbacks;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  // A late release may be scheduled by a callback, and a release may post.
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!idle_.wait_until(lock, deadline, [&] { return IdleLocked(self); })) return false;
    }
    if (!late_.WaitIdle(deadline)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (IdleLocked(self) && late_.Idle()) return true;
  }
}

void Notifier::Stop() {
  const int self = t_callbacks;
  std::thread thread;
  std::vector<std::thread> retired;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
    queue_.clear();
    active_ = false;
    thread = std::move(thread_);
    retired = std::exchange(retired_, {});
    idle_.notify_all();
  }
  for (std::thread& ended : retired) JoinUnlessSelf(ended);
  JoinUnlessSelf(thread);
  std::vector<Registration> released;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // A thread let go by a Stop from inside a callback may still run one, and
    // inline callbacks run on their callers' threads.
    idle_.wait(lock, [&] { return busy_ == self; });
    released = registrations_.TakeAll();
  }
  for (const Registration& registration : released) DropHandler(registration.handler);
  late_.Stop();
}

bool Notifier::Abandon() {
  using namespace std::chrono;
  constexpr auto kWayOut = milliseconds(50);
  const auto deadline = steady_clock::now() + seconds(1);
  std::vector<Registration> released;
  bool threadLeft;
  steady_clock::duration sinceExit;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    ++generation_;
    queue_.clear();
    active_ = false;
    // A thread killed at process exit never comes back: do not wait for good.
    idle_.wait_until(lock, deadline, [&] { return threadsAlive_ == 0; });
    threadLeft = threadsAlive_ != 0;
    if (busy_ == 0) released = registrations_.TakeAll();
    LetGoOfThreadsLocked();
    sinceExit = steady_clock::now() - lastExit_;
  }
  for (const Registration& registration : released) DropHandler(registration.handler);
  bool releaserLeft = !late_.Abandon(deadline);
  // A thread that has just ended may still be on its way out of the library's code.
  if (!threadLeft && sinceExit < kWayOut) std::this_thread::sleep_for(kWayOut - sinceExit);
  return !threadLeft && !releaserLeft;
}

void Notifier::LetGoOfThreadsLocked() {
  if (thread_.joinable()) thread_.detach();
  for (std::thread& ended : retired_) ended.detach();
  retired_.clear();
}

std::uint64_t Notifier::Delivered() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return delivered_;
}

std::uint64_t Notifier::Dropped() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return dropped_;
}

HRESULT Notifier::LastResult() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastResult_;
}

void Notifier::ResetStatistics() {
  std::lock_guard<std::mutex> lock(mutex_);
  delivered_ = 0;
  dropped_ = 0;
  lastResult_ = 0;
}

}  // namespace kelmorrow
