#include "system_encoding.h"

#include <cstdint>

namespace ztrt {
namespace {

// Decodes one well-formed sequence (no overlong forms, no surrogates, nothing
// above U+10FFFF) at position; false at a malformed one.
bool DecodeNext(std::string_view text, std::size_t& position, char32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(position);
  std::size_t extra = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead < 0x80) {
    code = lead;
    ++position;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return false;
  }
  if (text.size() - position - 1 < extra) return false;
  for (std::size_t i = 1; i <= extra; ++i) {
    const unsigned char next = byte(position + i);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return false;
    code = (code << 6) | (next & 0x3F);
  }
  position += extra + 1;
  return true;
}

// Windows-1252 bytes 0x80 to 0x9F. The five unassigned bytes stand for the C1
// controls of the same value, as the Windows code page maps them.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool ToWindows1252(char32_t code, char& out) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
    out = static_cast<char>(code);
    return true;
  }
  for (std::size_t i = 0; i < 32; ++i) {
    if (kHighControls[i] == code) {
      out = static_cast<char>(0x80 + i);
      return true;
    }
  }
  return false;
}

}  // namespace

bool ConvertUtf8ToSystem(std::string_view utf8, SystemEncoding encoding, std::string& out) {
  std::string converted;
  converted.reserve(utf8.size());
  std::size_t position = 0;
  while (position < utf8.size()) {
    const std::size_t start = position;
    char32_t code = 0;
    if (!DecodeNext(utf8, position, code)) return false;
    if (encoding == SystemEncoding::Utf8) {
      converted.append(utf8.substr(start, position - start));
    } else {
      char byte = 0;
      if (!ToWindows1252(code, byte)) return false;
      converted.push_back(byte);
    }
  }
  out.swap(converted);
  return true;
}

}  // namespace ztrt
