#include <windows.h>

#include <new>

#include "platform/lifetime.h"

namespace platform {
namespace {

struct ThreadStart {
  void (*entry)(void*);
  void* argument;
};

DWORD WINAPI RunThread(void* parameter) {
  const ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  start.entry(start.argument);
  return 0;
}

}  // namespace

bool StartDetachedThread(void (*entry)(void*), void* argument) noexcept {
  auto* start = new (std::nothrow) ThreadStart{entry, argument};
  if (start == nullptr) return false;
  HANDLE thread = ::CreateThread(nullptr, 0, &RunThread, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    return false;
  }
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
