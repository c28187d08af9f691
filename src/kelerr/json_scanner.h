#pragma once

namespace kelerr {

// Scans a text that starts with "{" or "[" as one JSON container and returns
// the position of its closing bracket, or null when the text does not scan.
const char* FindAppendPoint(const char* text) noexcept;
char* FindAppendPoint(char* text) noexcept;

}  // namespace kelerr
