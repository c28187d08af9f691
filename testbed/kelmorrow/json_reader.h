#pragma once
// Strict JSON (RFC 8259) with positions: no comments, no trailing commas,
// valid UTF-8 only, duplicate keys rejected. A UTF-8 byte order mark at the
// start is skipped.
#include <stdexcept>
#include <string>
#include <string_view>

#include "json_value.h"

namespace kelmorrow::json {

class ParseError : public std::runtime_error {
 public:
  ParseError(Position position, const std::string& message)
      : std::runtime_error(message), position_(position) {}
  Position position() const { return position_; }

 private:
  Position position_;
};

// Deeper documents are refused rather than risking the stack.
constexpr int kMaxDepth = 200;

// Throws ParseError.
Value Parse(std::string_view text);

// "source:line:column: message"
std::string FormatError(std::string_view source, Position position, std::string_view message);

// Appends one code point, 0 to 0x10FFFF, as UTF-8.
void AppendUtf8(std::string& out, std::uint32_t code);

}  // namespace kelmorrow::json
