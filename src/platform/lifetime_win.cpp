#include <windows.h>

#include "platform/lifetime.h"

namespace platform {

bool ProcessIsEnding() noexcept {
  using ShutdownInProgress = BOOLEAN(NTAPI*)();
  // Looked up each time: a guarded static could wait on a lock a killed thread holds.
  const auto inProgress = reinterpret_cast<ShutdownInProgress>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlDllShutdownInProgress")));
  return inProgress != nullptr && inProgress() != FALSE;
}

}  // namespace platform
