#pragma once
// A lock and a condition that cannot fail: no kernel object is made on
// contention, so taking them never throws, and code that must not throw
// (destructors, pool work, the library's callbacks) can use them. Held only
// for a few instructions; nothing that may block is done under them.
#include <mutex>

#ifndef _WIN32
#include <pthread.h>
#endif

namespace platform {

class ShortLock {
 public:
  ShortLock() noexcept = default;
  ~ShortLock();
  ShortLock(const ShortLock&) = delete;
  ShortLock& operator=(const ShortLock&) = delete;

  void lock() noexcept;
  void unlock() noexcept;

 private:
  friend class ShortCondition;
#ifdef _WIN32
  void* state_ = nullptr;  // an SRWLOCK
#else
  pthread_mutex_t state_ = PTHREAD_MUTEX_INITIALIZER;
#endif
};

class ShortCondition {
 public:
  ShortCondition() noexcept = default;
  ~ShortCondition();
  ShortCondition(const ShortCondition&) = delete;
  ShortCondition& operator=(const ShortCondition&) = delete;

  template <class Predicate>
  void Wait(std::unique_lock<ShortLock>& held, Predicate done) noexcept {
    while (!done()) WaitOnce(*held.mutex());
  }
  void NotifyAll() noexcept;

 private:
  void WaitOnce(ShortLock& held) noexcept;
#ifdef _WIN32
  void* state_ = nullptr;  // a CONDITION_VARIABLE
#else
  pthread_cond_t state_ = PTHREAD_COND_INITIALIZER;
#endif
};

}  // namespace platform
