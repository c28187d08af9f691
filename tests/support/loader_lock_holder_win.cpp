#include "loader_lock_holder.h"

#include <windows.h>

#include "loader_lock_holder_names.h"

namespace test_support {

struct LoaderLockHolder::State {
  HANDLE entered = nullptr;
  HANDLE release = nullptr;
  HANDLE loader = nullptr;
  HMODULE module = nullptr;
};

namespace {

DWORD WINAPI LoadHolderModule(void* module) {
  *static_cast<HMODULE*>(module) = ::LoadLibraryW(L"lockholder.dll");
  return 0;
}

}  // namespace

LoaderLockHolder::LoaderLockHolder() : state_(new State) {
  const DWORD process = ::GetCurrentProcessId();
  state_->entered = ::CreateEventW(nullptr, TRUE, FALSE, LockHolderEvent(L"entered", process).c_str());
  state_->release = ::CreateEventW(nullptr, TRUE, FALSE, LockHolderEvent(L"release", process).c_str());
}

LoaderLockHolder::~LoaderLockHolder() {
  Finish();
  if (state_->entered != nullptr) ::CloseHandle(state_->entered);
  if (state_->release != nullptr) ::CloseHandle(state_->release);
}

bool LoaderLockHolder::Hold() {
  if (state_->entered == nullptr || state_->release == nullptr || state_->loader != nullptr) return false;
  ::ResetEvent(state_->entered);
  ::ResetEvent(state_->release);
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

}  // namespace test_support
