#pragma once
#include <string>

namespace test_support {

// The events by which a process and the lock holder module meet, one pair per process.
inline std::wstring LockHolderEvent(const wchar_t* what, unsigned long process) {
  return std::wstring(L"Local\\kronel-lockholder-") + what + L"-" + std::to_wstring(process);
}

}  // namespace test_support
