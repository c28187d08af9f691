#include <windows.h>

#include "support.h"
#include "thread_start.h"

namespace kronel_bench {
namespace {

DWORD WINAPI Nothing(void*) { return 0; }

}  // namespace

// As the plug-in started its refresh threads before they became pool work.
double ThreadStartMicroseconds() {
  Span span;
  span.begin = Now();
  HANDLE thread = ::CreateThread(nullptr, 0, &Nothing, nullptr, 0, nullptr);
  if (thread == nullptr) return -1;
  ::CloseHandle(thread);
  span.end = Now();
  return span.Microseconds();
}

}  // namespace kronel_bench
