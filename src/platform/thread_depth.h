#pragma once
// A count per thread, for scopes that mark what the current thread is in.
// Kept in the system's thread-local slots rather than in thread_local
// storage, which the loader frees for a module loaded at run time in a way
// the thread sanitizer cannot follow. Once destroyed, it reads 0 everywhere.
#include <cstdint>

namespace platform {

class ThreadDepth {
 public:
  ThreadDepth() noexcept;
  ~ThreadDepth();
  ThreadDepth(const ThreadDepth&) = delete;
  ThreadDepth& operator=(const ThreadDepth&) = delete;

  void Enter() noexcept {
    if (valid_) SetDepth(Depth() + 1);
  }
  void Leave() noexcept {
    if (valid_) SetDepth(Depth() - 1);
  }
  bool Inside() const noexcept { return valid_ && Depth() > 0; }

 private:
  // Of the current thread; only while the slot is valid.
  std::intptr_t Depth() const noexcept;
  void SetDepth(std::intptr_t depth) noexcept;

  unsigned long slot_;
  bool valid_;
};

}  // namespace platform
