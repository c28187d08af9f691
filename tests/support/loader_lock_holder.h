#pragma once
// Another thread of this process inside a module's DllMain, and so holding
// the loader lock, for as long as the holder says (Windows only).
#include <memory>

namespace test_support {

class LoaderLockHolder {
 public:
  LoaderLockHolder();
  ~LoaderLockHolder();
  LoaderLockHolder(const LoaderLockHolder&) = delete;
  LoaderLockHolder& operator=(const LoaderLockHolder&) = delete;

  // Loads the module on a thread of its own and returns once that thread is
  // inside DllMain; false when it did not get there within 20 s.
  bool Hold();
  // Lets DllMain end. Any thread may call it, any number of times.
  void Release();
  // Releases, waits for the loading thread and unloads the module, so that
  // the next Hold runs DllMain again; false when a hold's module did not load.
  bool Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace test_support
