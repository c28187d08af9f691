#pragma once
#include <cstddef>
#include <string_view>

namespace kelerr {

// Bytes that WriteEscaped produces for the text.
std::size_t EscapedLength(std::string_view text) noexcept;

// Writes the text as the inside of a JSON string; returns the end of the output.
char* WriteEscaped(char* out, std::string_view text) noexcept;

}  // namespace kelerr
