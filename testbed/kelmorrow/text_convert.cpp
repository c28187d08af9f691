#include "text_convert.h"

#include <cstdint>

#include "json_reader.h"

namespace kelmorrow {
namespace {

// Returns false at the first unpaired surrogate unless `replace` is set.
bool Convert(const platform::WideString& units, std::string& out, bool replace, bool& exact) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t unit = static_cast<std::uint16_t>(units[i]);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size()) {
      std::uint32_t low = static_cast<std::uint16_t>(units[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        json::AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) {
      if (!replace) return false;
      exact = false;
      unit = 0xFFFD;
    }
    json::AppendUtf8(out, unit);
  }
  return true;
}

}  // namespace

platform::WideString ToWide(std::string_view utf8) {
  platform::WideString out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    std::uint32_t code = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    i += length;
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<platform::WideChar>(0xD800 + (code >> 10));
      out += static_cast<platform::WideChar>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<platform::WideChar>(code);
    }
  }
  return out;
}

std::optional<std::string> ToUtf8(const platform::WideString& units) {
  std::string out;
  bool exact = true;
  if (!Convert(units, out, false, exact)) return std::nullopt;
  return out;
}

std::string ToUtf8Lossy(const platform::WideString& units, bool& exact) {
  std::string out;
  Convert(units, out, true, exact);
  return out;
}

platform::WideString FromCaller(const platform::WideChar* text) {
  return text == nullptr ? platform::WideString() : platform::WideString(text);
}

}  // namespace kelmorrow
