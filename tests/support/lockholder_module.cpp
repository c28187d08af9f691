// A module whose DllMain, while it attaches, holds the loader lock until the
// loading process says so: a stand-in for another module's slow DllMain.
// It holds only when the process has made both of its events first.
#include <windows.h>

#include <string>

#include "loader_lock_holder_names.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  const DWORD process = ::GetCurrentProcessId();
  HANDLE entered = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, test_support::LockHolderEvent(L"entered", process).c_str());
  HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, test_support::LockHolderEvent(L"release", process).c_str());
  if (entered != nullptr && release != nullptr) {
    ::SetEvent(entered);
    // Bounded, so that a test that lost its way ends rather than hangs.
    ::WaitForSingleObject(release, 120000);
  }
  if (entered != nullptr) ::CloseHandle(entered);
  if (release != nullptr) ::CloseHandle(release);
  return TRUE;
}
