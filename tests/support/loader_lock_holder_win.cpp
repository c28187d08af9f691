#include "loader_lock_holder.h"

#include <windows.h>

#include <atomic>

#include "loader_lock_holder_names.h"

namespace test_support {

// The watchdog waits on plain events: the C runtime's first timed wait looks
// a function up under the loader lock, holding the waiter's mutex.
struct LoaderLockHolder::State {
  HANDLE entered = nullptr;
  HANDLE release = nullptr;
  HANDLE loader = nullptr;
  HMODULE module = nullptr;
  HANDLE armed = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE disarmed = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE idle = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HANDLE watchdog = nullptr;
  std::atomic<bool> fired{false}, stop{false};
};

namespace {

DWORD WINAPI LoadHolderModule(void* module) {
  *static_cast<HMODULE*>(module) = ::LoadLibraryW(L"lockholder.dll");
  return 0;
}

DWORD WINAPI Watch(void* parameter) {
  auto& state = *static_cast<LoaderLockHolder::State*>(parameter);
  ::SetEvent(state.idle);
  for (;;) {
    ::WaitForSingleObject(state.armed, INFINITE);
    if (state.stop) return 0;
    if (::WaitForSingleObject(state.disarmed, 20000) == WAIT_TIMEOUT) {
      state.fired = true;
      ::SetEvent(state.release);
      ::WaitForSingleObject(state.disarmed, INFINITE);
    }
    ::SetEvent(state.idle);
  }
}

}  // namespace

LoaderLockHolder::LoaderLockHolder() : state_(new State) {
  const DWORD process = ::GetCurrentProcessId();
  state_->entered = ::CreateEventW(nullptr, TRUE, FALSE, LockHolderEvent(L"entered", process).c_str());
  state_->release = ::CreateEventW(nullptr, TRUE, FALSE, LockHolderEvent(L"release", process).c_str());
  state_->watchdog = ::CreateThread(nullptr, 0, &Watch, state_.get(), 0, nullptr);
  // Running before any lock is held: a thread that started meanwhile would wait for it.
  if (state_->watchdog != nullptr) ::WaitForSingleObject(state_->idle, INFINITE);
}

LoaderLockHolder::~LoaderLockHolder() {
  Finish();
  state_->stop = true;
  ::SetEvent(state_->armed);
  if (state_->watchdog != nullptr) {
    ::WaitForSingleObject(state_->watchdog, INFINITE);
    ::CloseHandle(state_->watchdog);
  }
  for (HANDLE event : {state_->entered, state_->release, state_->armed, state_->disarmed, state_->idle}) {
    if (event != nullptr) ::CloseHandle(event);
  }
}

bool LoaderLockHolder::Hold() {
  if (state_->entered == nullptr || state_->release == nullptr || state_->watchdog == nullptr ||
      state_->loader != nullptr) {
    return false;
  }
  ::ResetEvent(state_->entered);
  ::ResetEvent(state_->release);
  state_->fired = false;
  state_->loader = ::CreateThread(nullptr, 0, &LoadHolderModule, &state_->module, 0, nullptr);
  return state_->loader != nullptr && ::WaitForSingleObject(state_->entered, 20000) == WAIT_OBJECT_0;
}

void LoaderLockHolder::Release() {
  if (state_->release != nullptr) ::SetEvent(state_->release);
}

bool LoaderLockHolder::Finish() {
  if (state_->loader == nullptr) return true;
  Release();
  const bool loaded = ::WaitForSingleObject(state_->loader, 20000) == WAIT_OBJECT_0 && state_->module != nullptr;
  ::CloseHandle(state_->loader);
  state_->loader = nullptr;
  if (state_->module != nullptr) ::FreeLibrary(state_->module);
  state_->module = nullptr;
  return loaded;
}

void LoaderLockHolder::Arm() { ::SetEvent(state_->armed); }

bool LoaderLockHolder::Disarm() {
  ::SetEvent(state_->disarmed);
  ::WaitForSingleObject(state_->idle, INFINITE);
  return !state_->fired;
}

}  // namespace test_support
