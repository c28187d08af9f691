#pragma once
// The Linux stand-in for the system's thread pool. Whenever every thread is
// busy, one more is idle or on its way: a thread that takes work while none
// is left idle starts a spare, and the last idle thread does not retire while
// others are busy. So work never waits behind a blocked library call. A
// thread is started on the submitting thread only when the pool has none (or
// a spare could not start). Other threads idle for longer than the
// retirement period end.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/work_pool.h"

namespace platform {

class PosixThreadPool {
 public:
  explicit PosixThreadPool(std::chrono::milliseconds idleRetirement);
  // Lets every idle thread go at once and waits for all to have left.
  ~PosixThreadPool();
  PosixThreadPool(const PosixThreadPool&) = delete;
  PosixThreadPool& operator=(const PosixThreadPool&) = delete;

  bool Submit(WorkEntry entry, void* argument) noexcept;
  void SetIdleRetirement(std::chrono::milliseconds idleRetirement) noexcept;
  detail::PoolThreads CountThreads() noexcept;

 private:
  struct Item {
    WorkEntry entry;
    void* argument;
  };

  static void* Run(void* pool) noexcept;
  void Serve() noexcept;
  bool StartThread() noexcept;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable gone_;
  std::deque<Item> queue_;
  std::chrono::milliseconds idleRetirement_;
  std::uint32_t idle_ = 0;
  std::uint32_t busy_ = 0;
  std::uint32_t alive_ = 0;
  std::uint32_t starting_ = 0;
  std::uint64_t started_ = 0;
  std::uint64_t startedBySubmitters_ = 0;
  bool closing_ = false;
};

// The process's pool: never destroyed, since its threads may be waiting in
// it while the process exits.
PosixThreadPool& ProcessThreadPool() noexcept;

}  // namespace platform
