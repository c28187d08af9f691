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
  if (!started_) {
    // Only a thread parked by Abandon can be left here.
    if (thread_.joinable()) thread_.detach();
    thread_ = std::thread(&Notifier::Run, this, generation_);
    started_ = true;
  }
  wake_.notify_all();
}

void Notifier::Run(std::uint64_t generation) {
  t_delivering = true;
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [&] { return generation_ != generation || !queue_.empty(); });
    if (generation_ != generation) return;
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
    started_ = false;
    thread = std::move(thread_);
    wake_.notify_all();
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
    // A thread left behind by a Stop from inside a callback may still run one.
    idle_.wait(lock, [&] { return busy_ == (self ? 1 : 0); });
    released = TakeRegistrationsLocked();
  }
  for (const Registration& registration : released) registration.handler->Release();
}

void Notifier::Abandon() {
  std::vector<Registration> released;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++generation_;
    queue_.clear();
    started_ = false;
    if (busy_ == 0) released = TakeRegistrationsLocked();
    idle_.notify_all();
  }
  for (const Registration& registration : released) registration.handler->Release();
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
