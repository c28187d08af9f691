#include <windows.h>

#include "pause.h"

namespace kronel_bench {
namespace {

using DelayExecution = LONG(NTAPI*)(BOOLEAN alertable, LARGE_INTEGER* interval);

DelayExecution FindDelayExecution() {
  return reinterpret_cast<DelayExecution>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDelayExecution")));
}

}  // namespace

// Under Wine a sleep below a millisecond through the C runtime or Sleep does
// not pause at all, and waitable timers fire on whole milliseconds; Wine's
// NtDelayExecution sleeps to the microsecond.
void Pause(std::chrono::microseconds length) {
  static const DelayExecution delay = FindDelayExecution();
  LARGE_INTEGER interval;
  interval.QuadPart = -static_cast<LONGLONG>(length.count()) * 10;  // relative, in 100 ns
  if (delay != nullptr) {
    delay(FALSE, &interval);
  } else {
    ::Sleep(static_cast<DWORD>((length.count() + 999) / 1000));
  }
}

}  // namespace kronel_bench
