#include "watchdog.h"

#include <cstdio>
#include <cstdlib>

namespace stress {

Watchdog::Watchdog(std::chrono::seconds limit)
    : thread_([this, limit] {
        std::unique_lock<std::mutex> lock(mutex_);
        if (done_.wait_for(lock, limit, [this] { return finished_; })) return;
        std::fprintf(stderr, "stress test hung in phase \"%s\" after %lld s; aborting\n", phase_.load(),
                     static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::abort();
      }) {}

Watchdog::~Watchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  done_.notify_all();
  thread_.join();
}

}  // namespace stress
