#include "platform/posix_thread_pool.h"

#include <pthread.h>

#include <new>

namespace platform {

PosixThreadPool::PosixThreadPool(std::chrono::milliseconds idleRetirement) : idleRetirement_(idleRetirement) {}

PosixThreadPool::~PosixThreadPool() {
  std::unique_lock<std::mutex> lock(mutex_);
  closing_ = true;
  wake_.notify_all();
  gone_.wait(lock, [this] { return alive_ == 0; });
}

bool PosixThreadPool::Submit(WorkEntry entry, void* argument) noexcept {
  try {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(Item{entry, argument});
    if (idle_ >= queue_.size()) {
      wake_.notify_one();
    } else if (idle_ == 0 && starting_ == 0) {
      // No thread could start one for it: the pool has none, or a spare
      // failed to start. Started under the lock, so that no other submission
      // counts on a thread that might not come.
      if (!StartThread()) {
        queue_.pop_back();
        return false;
      }
      ++alive_;
      ++starting_;
      ++started_;
      ++startedBySubmitters_;
    }
    // Otherwise an idle thread takes it, or a spare is on its way.
    return true;
  } catch (...) {
    return false;
  }
}

void PosixThreadPool::SetIdleRetirement(std::chrono::milliseconds idleRetirement) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  idleRetirement_ = idleRetirement;
  wake_.notify_all();
}

detail::PoolThreads PosixThreadPool::CountThreads() noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return detail::PoolThreads{started_, startedBySubmitters_, alive_};
}

bool PosixThreadPool::StartThread() noexcept {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int failed = pthread_create(&thread, &attributes, &PosixThreadPool::Run, this);
  pthread_attr_destroy(&attributes);
  return failed == 0;
}

void* PosixThreadPool::Run(void* pool) noexcept {
  static_cast<PosixThreadPool*>(pool)->Serve();
  return nullptr;
}

void PosixThreadPool::Serve() noexcept {
  std::unique_lock<std::mutex> lock(mutex_);
  --starting_;
  for (;;) {
    auto idleSince = std::chrono::steady_clock::now();
    while (queue_.empty()) {
      const auto now = std::chrono::steady_clock::now();
      if (closing_ || now - idleSince >= idleRetirement_) {
        // The last spare stays while other threads are busy: work arriving
        // then would wait behind theirs, perhaps a library call that blocks
        // for minutes.
        if (closing_ || busy_ == 0 || idle_ + starting_ > 0) {
          if (--alive_ == 0) gone_.notify_all();
          return;
        }
        idleSince = now;
      }
      ++idle_;
      wake_.wait_until(lock, idleSince + idleRetirement_);
      --idle_;
    }
    const Item item = queue_.front();
    queue_.pop_front();
    ++busy_;
    // Without a spare, the next submission would wait for this work to end.
    // Counted before it starts, so that no other thread starts one too, and
    // started unlocked, so that submissions do not wait for it.
    const bool spare = idle_ == 0 && starting_ == 0;
    if (spare) {
      ++alive_;
      ++starting_;
      ++started_;
    }
    lock.unlock();
    if (spare && !StartThread()) {
      lock.lock();
      --alive_;
      --starting_;
      --started_;
      lock.unlock();
    }
    item.entry(item.argument);
    lock.lock();
    --busy_;
  }
}

PosixThreadPool& ProcessThreadPool() noexcept {
  alignas(PosixThreadPool) static unsigned char storage[sizeof(PosixThreadPool)];
  static PosixThreadPool* const pool = new (storage) PosixThreadPool(std::chrono::seconds(5));
  return *pool;
}

}  // namespace platform
