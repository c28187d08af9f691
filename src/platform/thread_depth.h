#pragma once
// A count per thread, for scopes that mark what the current thread is in.
// Kept in the system's thread-local slots rather than in thread_local
// storage, which the loader frees for a module loaded at run time in a way
// the thread sanitizer cannot follow. Once destroyed, it reads 0 everywhere.

namespace platform {

class ThreadDepth {
 public:
  ThreadDepth() noexcept;
  ~ThreadDepth();
  ThreadDepth(const ThreadDepth&) = delete;
  ThreadDepth& operator=(const ThreadDepth&) = delete;

  void Enter() noexcept;
  void Leave() noexcept;
  bool Inside() const noexcept;

 private:
  unsigned long slot_;
  bool valid_;
};

}  // namespace platform
