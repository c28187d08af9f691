#include "kelerr/json_append.h"

#include <cstdio>
#include <cstring>

#include "kelerr/json_escape.h"
#include "kelerr/json_scanner.h"

namespace kelerr {
namespace {

bool IsSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsOpening(char c) noexcept { return c == '{' || c == '['; }
bool IsClosing(char c) noexcept { return c == '}' || c == ']'; }
char Partner(char bracket) noexcept {
  switch (bracket) {
    case '{':
      return '}';
    case '[':
      return ']';
    case '}':
      return '{';
    default:
      return '[';
  }
}

// Zero bytes between the terminator and the marker; a broken layout has none.
std::size_t FreeSpace(const char* terminator) noexcept {
  const char* p = terminator + 1;
  while (*p == '\0') ++p;
  return *p == kJsonMarker ? static_cast<std::size_t>(p - terminator - 1) : 0;
}

bool ContainerIsEmpty(const char* position, bool first) noexcept {
  if (first) {
    const char* p = position + 1;
    while (IsSpace(*p)) ++p;
    return *p == Partner(*position);
  }
  if (!IsClosing(*position)) return false;
  const char* p = position - 1;
  while (IsSpace(*p)) --p;
  return *p == Partner(*position);
}

// Opens a gap of bytes (plus a separating comma where one is due) and returns
// where the member goes, or null when the buffer is too small.
char* MakeRoom(char* position, std::size_t bytes) noexcept {
  const bool first = IsOpening(*position);
  char* const insert = first ? position + 1 : position;
  const bool comma = !ContainerIsEmpty(position, first) && *insert != '\0';
  const std::size_t total = bytes + (comma ? 1 : 0);
  char* const terminator = insert + std::strlen(insert);
  if (FreeSpace(terminator) < total) return nullptr;

  std::memmove(insert + total, insert, static_cast<std::size_t>(terminator - insert) + 1);
  if (!comma) return insert;
  if (first) {
    insert[total - 1] = ',';
    return insert;
  }
  *insert = ',';
  return insert + 1;
}

template <typename WriteValue>
char* Append(char* position, const char* key, std::size_t value_bytes, WriteValue write_value,
             GrowHandler grow) noexcept {
  const std::size_t key_bytes = key != nullptr ? EscapedLength(key) + 3 : 0;
  const std::size_t needed = key_bytes + value_bytes;
  // No buffer can hold it; growing would only waste memory.
  if (needed >= kMaxJsonCapacity) return nullptr;

  while (position != nullptr) {
    if (char* out = MakeRoom(position, needed)) {
      if (key != nullptr) {
        *out++ = '"';
        out = WriteEscaped(out, key);
        *out++ = '"';
        *out++ = ':';
      }
      return write_value(out);
    }
    position = grow.grow != nullptr ? grow.grow(position, grow.record) : nullptr;
  }
  return nullptr;
}

}  // namespace

char* GrowForAppend(char* position, ErrorStatus* record) noexcept {
  if (position == nullptr || record == nullptr) return nullptr;
  const std::uint32_t capacity = record->capacity;
  if (2u * capacity - 4u > 0x7FFFFFFDu) return nullptr;
  const std::uint32_t request = 2u * capacity - 2u;
  const auto offset = position - record->json;

  if (capacity < request && !record->resize(record, request)) return nullptr;
  // A buffer that did not grow would make the caller retry for ever.
  if (record->json == nullptr || record->capacity <= capacity) return nullptr;
  if (FindAppendPoint(record->json) == nullptr) return nullptr;
  return record->json + offset;
}

char* AppendString(char* position, const char* key, std::string_view value, GrowHandler grow) noexcept {
  return Append(
      position, key, EscapedLength(value) + 2,
      [value](char* out) {
        *out++ = '"';
        out = WriteEscaped(out, value);
        *out++ = '"';
        return out;
      },
      grow);
}

char* AppendInt(char* position, const char* key, std::int32_t value, GrowHandler grow) noexcept {
  char digits[16];
  const int length = std::snprintf(digits, sizeof digits, "%i", static_cast<int>(value));
  const auto size = static_cast<std::size_t>(length);
  return Append(
      position, key, size,
      [&digits, size](char* out) {
        std::memcpy(out, digits, size);
        return out + size;
      },
      grow);
}

}  // namespace kelerr
