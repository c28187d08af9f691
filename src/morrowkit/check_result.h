#pragma once
#include "morrowkit/error_location.h"
#include "platform/hresult.h"
#include "platform/wide.h"

namespace morrowkit {

[[noreturn]] void ThrowHResult(HRESULT code, const ErrorLocation& location);
[[noreturn]] void ThrowHResult(HRESULT code, const ErrorLocation& location, const platform::WideChar* detail);

// The one rule for every library result: negative throws HResultException,
// anything else (S_FALSE included) is no failure. A detailed result text,
// when the library gave one, becomes the exception's message.
inline void CheckResult(HRESULT code, const ErrorLocation& location) {
  if (platform::Failed(code)) ThrowHResult(code, location);
}

inline void CheckResult(HRESULT code, const ErrorLocation& location, const platform::WideChar* detail) {
  if (platform::Failed(code)) ThrowHResult(code, location, detail);
}

}  // namespace morrowkit
