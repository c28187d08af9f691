#include "kelerr/json_escape.h"

namespace kelerr {
namespace {

char ShortEscape(unsigned char byte) noexcept {
  switch (byte) {
    case 0x08:
      return 'b';
    case 0x09:
      return 't';
    case 0x0A:
      return 'n';
    case 0x0C:
      return 'f';
    case 0x0D:
      return 'r';
    case '"':
      return '"';
    case '\\':
      return '\\';
    default:
      return 0;
  }
}

bool NeedsUnicodeEscape(unsigned char byte) noexcept { return byte < 0x20 || byte == 0x7F; }

std::size_t EscapedSize(unsigned char byte) noexcept {
  if (ShortEscape(byte) != 0) return 2;
  return NeedsUnicodeEscape(byte) ? 6 : 1;
}

}  // namespace

std::size_t EscapedLength(std::string_view text) noexcept {
  std::size_t length = 0;
  for (char c : text) length += EscapedSize(static_cast<unsigned char>(c));
  return length;
}

char* WriteEscaped(char* out, std::string_view text) noexcept {
  static constexpr char kHex[] = "0123456789abcdef";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (const char letter = ShortEscape(byte)) {
      *out++ = '\\';
      *out++ = letter;
    } else if (NeedsUnicodeEscape(byte)) {
      *out++ = '\\';
      *out++ = 'u';
      *out++ = '0';
      *out++ = '0';
      *out++ = kHex[byte >> 4];
      *out++ = kHex[byte & 0x0F];
    } else {
      *out++ = c;
    }
  }
  return out;
}

}  // namespace kelerr
