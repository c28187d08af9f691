#pragma once
// Full UTF-8 <-> UTF-16 conversion for the simulated library (four-byte
// characters become surrogate pairs and back).
#include <optional>
#include <string>
#include <string_view>

#include "platform/wide.h"

namespace kelmorrow {

// The text must be valid UTF-8 (the JSON reader guarantees it).
platform::WideString ToWide(std::string_view utf8);

// Empty when the units hold an unpaired surrogate.
std::optional<std::string> ToUtf8(const platform::WideString& units);

// Unpaired surrogates become U+FFFD; `exact` is cleared when that happens.
std::string ToUtf8Lossy(const platform::WideString& units, bool& exact);

// The units of a NUL-terminated string from a caller.
platform::WideString FromCaller(const platform::WideChar* text);

}  // namespace kelmorrow
