#include <windows.h>

#include <new>

#include "platform/module_reference.h"

namespace platform {
namespace {

HMODULE Native(void* module) { return static_cast<HMODULE>(module); }

// Any address inside this image names the module.
HMODULE TakeModuleOf(const void* address, DWORD flags) {
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | flags, static_cast<LPCWSTR>(address),
                            &module)) {
    return nullptr;
  }
  return module;
}

struct ThreadStart {
  void (*entry)(void*);
  void* argument;
  HMODULE module;
};

DWORD WINAPI RunModuleThread(void* parameter) {
  ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  {
    ModuleHeld held;
    start.entry(start.argument);
  }
  // Does not return: nothing of this module runs once its reference is given back.
  ::FreeLibraryAndExitThread(start.module, 0);
}

}  // namespace

ModuleReference ModuleReference::Take() noexcept {
  ModuleReference reference;
  reference.module_ = TakeModuleOf(reinterpret_cast<const void*>(&RunModuleThread), 0);
  return reference;
}

void ModuleReference::Reset() noexcept {
  if (void* module = Detach()) ::FreeLibrary(Native(module));
}

void ModuleReference::ReleaseFromForeignThread() noexcept {
  if (module_ == nullptr) return;
  // The caller's code still has to return through this image.
  TakeModuleOf(reinterpret_cast<const void*>(&RunModuleThread), GET_MODULE_HANDLE_EX_FLAG_PIN);
  Reset();
}

bool StartModuleThread(void (*entry)(void*), void* argument) noexcept {
  // Given back here on failure: the caller runs the module's code, so
  // something keeps it loaded.
  ModuleReference reference = ModuleReference::Take();
  if (!reference) return false;
  auto* start = new (std::nothrow) ThreadStart{entry, argument, nullptr};
  if (start == nullptr) return false;
  HANDLE thread = ::CreateThread(nullptr, 0, &RunModuleThread, start, CREATE_SUSPENDED, nullptr);
  if (thread == nullptr) {
    delete start;
    return false;
  }
  start->module = Native(reference.Detach());
  ::ResumeThread(thread);
  ::CloseHandle(thread);
  return true;
}

bool ProcessIsEnding() noexcept {
  using ShutdownInProgress = BOOLEAN(NTAPI*)();
  // Looked up each time: a guarded static could wait on a lock a killed thread holds.
  const auto inProgress = reinterpret_cast<ShutdownInProgress>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlDllShutdownInProgress")));
  return inProgress != nullptr && inProgress() != FALSE;
}

}  // namespace platform
