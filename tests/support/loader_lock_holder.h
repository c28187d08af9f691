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

  // Between Arm and Disarm, a watchdog releases the lock after 20 s, so that
  // a call that waits for it ends rather than hangs. Disarm: true while the
  // lock is still held, false once the watchdog has let it go in this hold.
  void Arm();
  bool Disarm();

  // The call returned with the lock still held.
  template <class Call>
  bool ReturnsWhileHeld(Call call) {
    Arm();
    call();
    return Disarm();
  }

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace test_support
