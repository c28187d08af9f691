#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace stress {

// Ends the process when the test has not finished in time: a hung test
// must fail, not hang the run.
class Watchdog {
 public:
  explicit Watchdog(std::chrono::seconds limit);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // Named in the message if time runs out.
  void Phase(const char* name) { phase_.store(name); }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::atomic<const char*> phase_{"start"};
  std::thread thread_;
};

}  // namespace stress
