#include "notifier.h"

#include <chrono>
#include <new>
#include <optional>
#include <utility>

#include "enum_string.h"

namespace kelmorrow {
namespace {

thread_local bool t_delivering = false;

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

bool Notifier::OnDeliveryThread() { return t_delivering; }

HRESULT Notifier::SetHandler(const std::string& target, morrowkit::IqvSysNotificationHandler* handler,
                             void* context) {
  if (handler == nullptr && context != nullptr) return platform::kE_INVALIDARG;
  bool self = OnDeliveryThread();
  if (handler != nullptr) handler->AddRef();
  std::optional<Registration> old;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    auto found = registrations_.find(target);
    if (found != registrations_.end()) {
      old = found->second;
      if (handler != nullptr) {
        found->second = {handler, context};
      } else {
        registrations_.erase(found);
      }
    } else if (handler != nullptr) {
      registrations_.emplace(target, Registration{handler, context});
    }
    if (!self) idle_.wait(lock, [&] { return running_.count(target) == 0; });
  }
  if (old) old->handler->Release();
  return handler != nullptr || old ? platform::kS_OK : platform::kS_FALSE;
}

bool Notifier::HasHandler(const std::string& target) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return registrations_.count(target) != 0;
}

void Notifier::Post(const std::string& target, morrowkit::ChangeKind kind, std::vector<platform::WideString> names) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (registrations_.count(target) == 0) {
    ++dropped_;
    return;
  }
  queue_.push_back({target, kind, std::move(names)});
  if (!active_) {
    // A thread that left the queue needs no lock any more.
    if (thread_.joinable()) thread_.join();
    thread_ = std::thread(&Notifier::Run, this, generation_);
    active_ = true;
    ++threadsAlive_;
  }
}

void Notifier::Run(std::uint64_t generation) {
  t_delivering = true;
  std::unique_lock<std::mutex> lock(mutex_);
  while (generation_ == generation && !queue_.empty()) {
    Notification notification = std::move(queue_.front());
    queue_.pop_front();
    auto found = registrations_.find(notification.target);
    if (found == registrations_.end()) {
      ++dropped_;
      idle_.notify_all();
      continue;
    }
    Registration registration = found->second;
    registration.handler->AddRef();
    ++running_[notification.target];
    ++busy_;
    lock.unlock();

    HRESULT result = Deliver(registration.handler, registration.context, notification.kind,
                             std::move(notification.names));
    registration.handler->Release();

    lock.lock();
    if (--running_[notification.target] == 0) running_.erase(notification.target);
    --busy_;
    ++delivered_;
    lastResult_ = result;
    idle_.notify_all();
  }
  if (generation_ == generation) active_ = false;
  --threadsAlive_;
  lastExit_ = std::chrono::steady_clock::now();
  idle_.notify_all();
}

bool Notifier::IdleLocked(bool self) const { return queue_.empty() && busy_ == (self ? 1 : 0); }

bool Notifier::WaitIdle(std::uint32_t timeoutMs) {
  bool self = OnDeliveryThread();
  std::unique_lock<std::mutex> lock(mutex_);
  return idle_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return IdleLocked(self); });
}

std::vector<Notifier::Registration> Notifier::TakeRegistrationsLocked() {
  std::vector<Registration> taken;
  for (auto& entry : registrations_) taken.push_back(entry.second);
  registrations_.clear();
  return taken;
}

void Notifier::Stop() {
  bool self = OnDeliveryThread();
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
    queue_.clear();
    active_ = false;
    thread = std::move(thread_);
    idle_.notify_all();
  }
  if (thread.joinable()) {
    if (thread.get_id() == std::this_thread::get_id()) {
      thread.detach();
    } else {
      thread.join();
    }
  }
  std::vector<Registration> released;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    // A thread let go by a Stop from inside a callback may still run one.
    idle_.wait(lock, [&] { return busy_ == (self ? 1 : 0); });
    released = TakeRegistrationsLocked();
  }
  for (const Registration& registration : released) registration.handler->Release();
}

bool Notifier::Abandon() {
  using namespace std::chrono;
  constexpr auto kWayOut = milliseconds(50);
  std::vector<Registration> released;
  bool threadLeft;
  steady_clock::duration sinceExit;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    ++generation_;
    queue_.clear();
    active_ = false;
    // A thread killed at process exit never comes back: do not wait for good.
    idle_.wait_for(lock, seconds(1), [&] { return threadsAlive_ == 0; });
    threadLeft = threadsAlive_ != 0;
    if (busy_ == 0) released = TakeRegistrationsLocked();
    if (thread_.joinable()) thread_.detach();
    sinceExit = steady_clock::now() - lastExit_;
  }
  for (const Registration& registration : released) registration.handler->Release();
  // A thread that has just ended may still be on its way out of the library's code.
  if (!threadLeft && sinceExit < kWayOut) std::this_thread::sleep_for(kWayOut - sinceExit);
  return !threadLeft;
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
