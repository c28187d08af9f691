#include <windows.h>
#include <tlhelp32.h>

#include "thread_count.h"

namespace test_support {

std::size_t ProcessThreadCount() {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  const DWORD self = ::GetCurrentProcessId();
  std::size_t count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == self) ++count;
  }
  ::CloseHandle(snapshot);
  return count;
}

}  // namespace test_support
