#include <algorithm>
#include <memory>
#include <thread>

#include <boost/make_shared.hpp>

#include "kronel/morrow_cache.h"
#include "platform/clock.h"

namespace kronel {
namespace {

// How old the last read may grow while the host asks. A cache registered
// nowhere hears of no change; a registered one reads again all the same, for
// a library that drops notifications or a restarted service that dropped
// its registrations without a word.
constexpr std::int64_t kUnregisteredRereadMs = 5000;
constexpr std::int64_t kRegisteredRereadMs = 60000;

}  // namespace

void MorrowCache::Refresh() {
  upToDate.exchange(1);
  const bool hadFramework = static_cast<bool>(framework);
  bool read = TryRead();
  // A framework an earlier refresh made may have gone with a restarted
  // service. The failure gave it back; a new one is tried at once.
  if (!read && hadFramework) read = TryRead();
  EndAttempt(read);
  refreshing.exchange(0);
}

bool MorrowCache::TryRead() noexcept {
  try {
    Connect(platform::MonotonicMilliseconds());
    std::set<std::string> found;
    Discover(found);
    boost::lock_guard<boost::mutex> lock(mutex);
    names.swap(found);
    version.fetch_add(1);
    return true;
  } catch (...) {
    // Whatever failed, the framework may be what broke: the next read makes
    // a new one and registers again.
    if (framework) GiveBackFramework();
    return false;
  }
}

void MorrowCache::Connect(std::int64_t nowMs) {
  if (!framework) {
    if (!departure) departure = std::make_unique<NotificationRoute::Departure>();
    framework = boost::make_shared<Framework>(true, true);
    if (!joined) route.Join(weak_from_this(), generation);
    joined = true;
  }
  // Asked on every read, not only until it succeeds: the registration is the
  // route's, and a refused replacement may have left it none.
  if (!registrationRetry.Due(nowMs)) return;
  struct Registering {
    std::atomic<std::thread::id>& thread;
    ~Registering() { thread.store(std::thread::id()); }
  } registering{registeringThread};
  registeringThread.store(std::this_thread::get_id());
  try {
    route.Register(framework);
    registered = true;
    registrationRetry.Succeeded();
  } catch (...) {
    registered = false;
    // The read goes on: a list the library can give is worth more than the
    // changes it cannot tell. Reads follow every few seconds instead.
    registrationRetry.Failed(nowMs, jitter.Draw());
  }
}

void MorrowCache::EndAttempt(bool read) noexcept {
  const std::int64_t nowMs = platform::MonotonicMilliseconds();
  std::int64_t dueMs;
  if (read) {
    readRetry.Succeeded();
    dueMs = nowMs + (registered ? kRegisteredRereadMs : kUnregisteredRereadMs);
    if (!registered && registrationRetry.Failing()) dueMs = std::min(dueMs, registrationRetry.DueMs());
  } else {
    readRetry.Failed(nowMs, jitter.Draw());
    dueMs = readRetry.DueMs();
  }
  readDueMs.store(dueMs);
  attempted.exchange(1);
}

}  // namespace kronel
