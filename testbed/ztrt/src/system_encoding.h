#pragma once
#include <string>
#include <string_view>

namespace ztrt {

enum class SystemEncoding { Utf8, Windows1252 };

// Converts UTF-8 text to the system encoding. False, with out unchanged, when
// the text is not well-formed UTF-8 or holds a character the encoding lacks.
// Throws std::bad_alloc.
bool ConvertUtf8ToSystem(std::string_view utf8, SystemEncoding encoding, std::string& out);

}  // namespace ztrt
