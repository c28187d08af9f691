#include "pex/utf.h"

#include <cstdint>
#include <functional>
#include <limits>

#include "pex/exception.h"

namespace kel {
namespace pex {
namespace {

constexpr char kUtf8ToWideFile[] = "pex\\Utf8ToWide";
constexpr char kWideToUtf8File[] = "pex\\WideToUtf8";

bool IsContinuation(unsigned byte) { return byte >= 0x80 && byte <= 0xBF; }

// Both ends null, or both set and in order.
template <typename T>
bool IsRange(const T* begin, const T* end) {
  if (begin == nullptr || end == nullptr) return begin == end;
  return !std::less<const T*>()(end, begin);
}

// Decodes the character at p, of which `available` bytes lie inside the range,
// and returns its length. Never looks past the range.
std::size_t Decode(const char* p, std::size_t available, platform::WideChar& unit) {
  const unsigned b0 = static_cast<unsigned char>(p[0]);
  if (b0 < 0x80) {
    unit = static_cast<platform::WideChar>(b0);
    return 1;
  }
  if (b0 >= 0xF0) throw InvalidSequence(kUtf8ToWideFile, 150);
  if (b0 >= 0xE0) {
    if (available < 3) throw InvalidSequence(kUtf8ToWideFile, 171);
    const unsigned b1 = static_cast<unsigned char>(p[1]);
    const unsigned b2 = static_cast<unsigned char>(p[2]);
    if (!IsContinuation(b1) || !IsContinuation(b2) || (b0 == 0xE0 && b1 < 0xA0)) {
      throw InvalidSequence(kUtf8ToWideFile, 75);
    }
    unit = static_cast<platform::WideChar>(((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
    return 3;
  }
  if (b0 < 0xC2) throw InvalidSequence(kUtf8ToWideFile, 61);
  if (available < 2) throw InvalidSequence(kUtf8ToWideFile, 171);
  const unsigned b1 = static_cast<unsigned char>(p[1]);
  if (!IsContinuation(b1)) throw InvalidSequence(kUtf8ToWideFile, 61);
  unit = static_cast<platform::WideChar>(((b0 & 0x1F) << 6) | (b1 & 0x3F));
  return 2;
}

std::size_t EncodedLength(std::uint32_t unit) {
  if (unit < 0x80) return 1;
  if (unit < 0x800) return 2;
  return 3;
}

std::uint32_t UnitValue(platform::WideChar unit) { return static_cast<std::uint16_t>(unit); }

}  // namespace

std::size_t Utf8ToWide(const char* begin, const char* end) {
  if (begin == nullptr || begin == end) return 0;
  // A range that ends before it starts cuts off its first character.
  if (!IsRange(begin, end)) throw InvalidSequence(kUtf8ToWideFile, 171);
  std::size_t count = 0;
  platform::WideChar unit;
  for (const char* p = begin; p != end; ++count) {
    p += Decode(p, static_cast<std::size_t>(end - p), unit);
  }
  return count;
}

std::size_t Utf8ToWide(const char* begin, const char* end, platform::WideChar* out_begin,
                       platform::WideChar* out_end) {
  if (out_begin == nullptr || !IsRange(out_begin, out_end) || !IsRange(begin, end)) {
    throw InvalidArgument(kUtf8ToWideFile, 272);
  }
  platform::WideChar* out = out_begin;
  const char* p = begin;
  while (p != end && out != out_end) {
    platform::WideChar unit;
    p += Decode(p, static_cast<std::size_t>(end - p), unit);
    *out++ = unit;
  }
  if (p != end) throw BufferOverflow(kUtf8ToWideFile, 298);
  return static_cast<std::size_t>(out - out_begin);
}

std::size_t WideToUtf8(const platform::WideChar* begin, const platform::WideChar* end) {
  if (begin == nullptr || !IsRange(begin, end)) return 0;
  std::size_t sum = 0;
  for (const platform::WideChar* p = begin; p != end; ++p) {
    const std::size_t length = EncodedLength(UnitValue(*p));
    if (length > std::numeric_limits<std::size_t>::max() - sum) break;
    sum += length;
  }
  return sum;
}

std::size_t WideToUtf8(const platform::WideChar* begin, const platform::WideChar* end,
                       char* out_begin, char* out_end) {
  if (out_begin == nullptr || !IsRange(out_begin, out_end) || !IsRange(begin, end)) {
    throw InvalidArgument(kWideToUtf8File, 230);
  }
  char* out = out_begin;
  const platform::WideChar* p = begin;
  for (; p != end; ++p) {
    const std::uint32_t u = UnitValue(*p);
    const std::size_t length = EncodedLength(u);
    if (length > static_cast<std::size_t>(out_end - out)) break;
    if (length == 1) {
      *out++ = static_cast<char>(u);
    } else if (length == 2) {
      *out++ = static_cast<char>(0xC0 | (u >> 6));
      *out++ = static_cast<char>(0x80 | (u & 0x3F));
    } else {
      *out++ = static_cast<char>(0xE0 | (u >> 12));
      *out++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      *out++ = static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  if (p != end) throw BufferOverflow(kWideToUtf8File, 262);
  return static_cast<std::size_t>(out - out_begin);
}

platform::WideString& AssignUtf8ToWide(const char* bytes, std::size_t length,
                                       platform::WideString& target) {
  if (length == 0) {
    target.clear();
    return target;
  }
  if (bytes == nullptr) throw InvalidArgument(kUtf8ToWideFile, 272);
  length = detail::CutUtf8Length(bytes, length, 0xFFFFFFFFu);
  const std::size_t units = Utf8ToWide(bytes, bytes + length);
  target.resize(units);
  Utf8ToWide(bytes, bytes + length, &target[0], &target[0] + units);
  return target;
}

std::string& AssignWideToUtf8(const platform::WideChar* units, std::size_t count,
                              std::string& target) {
  if (count == 0) {
    target.clear();
    return target;
  }
  if (units == nullptr) throw InvalidArgument(kWideToUtf8File, 230);
  // Sized from the given count, so embedded zero units convert like any other.
  const std::size_t bytes = WideToUtf8(units, units + count);
  target.resize(bytes);
  WideToUtf8(units, units + count, &target[0], &target[0] + bytes);
  return target;
}

namespace detail {

std::size_t CutUtf8Length(const char* bytes, std::size_t length, std::size_t limit) {
  if (length <= limit) return length;
  std::size_t cut = limit;
  while (cut > 0 && IsContinuation(static_cast<unsigned char>(bytes[cut]))) --cut;
  return cut;
}

}  // namespace detail

}  // namespace pex
}  // namespace kel
