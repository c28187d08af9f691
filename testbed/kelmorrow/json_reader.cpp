#include "json_reader.h"

#include <cstdio>
#include <unordered_map>
#include <utility>

namespace kelmorrow::json {
namespace {

bool IsDigit(int c) { return c >= '0' && c <= '9'; }

int HexDigit(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}


std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  Value ParseDocument() {
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    SkipWhitespace();
    Value root = ParseValue(0);
    SkipWhitespace();
    if (!AtEnd()) Fail("expected the end of the input after the JSON value, found " + DescribeHere());
    return root;
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  int Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? static_cast<unsigned char>(text_[pos_ + ahead]) : -1;
  }

  // Columns count characters: continuation bytes and carriage returns take none.
  void Advance() {
    int c = Peek();
    ++pos_;
    if (c == '\n') {
      ++here_.line;
      here_.column = 1;
    } else if ((c & 0xC0) != 0x80 && c != '\r') {
      ++here_.column;
    }
  }

  [[noreturn]] void Fail(const std::string& message) const { throw ParseError(here_, message); }
  [[noreturn]] static void FailAt(Position at, const std::string& message) { throw ParseError(at, message); }

  // Length of the valid UTF-8 sequence at the current byte, or 0.
  std::size_t Utf8SequenceLength() const {
    int c = Peek();
    std::size_t length;
    std::uint32_t code;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2, code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3, code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, code = c & 0x07;
    } else {
      return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
      int next = Peek(i);
      if (next < 0 || (next & 0xC0) != 0x80) return 0;
      code = (code << 6) | (next & 0x3F);
    }
    static const std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
  }

  std::string DescribeHere() const {
    int c = Peek();
    if (c < 0) return "the end of the input";
    if (c >= 0x20 && c < 0x7F) return std::string("'") + static_cast<char>(c) + "'";
    char buffer[48];
    if (c < 0x80) {
      std::snprintf(buffer, sizeof buffer, "the control character U+%04X", static_cast<unsigned>(c));
      return buffer;
    }
    std::size_t length = Utf8SequenceLength();
    if (length == 0) {
      std::snprintf(buffer, sizeof buffer, "the byte 0x%02X, which is not UTF-8", static_cast<unsigned>(c));
      return buffer;
    }
    return "'" + std::string(text_.substr(pos_, length)) + "'";
  }

  void SkipWhitespace() {
    for (int c = Peek(); c == ' ' || c == '\t' || c == '\n' || c == '\r'; c = Peek()) Advance();
  }

  Value ParseValue(int depth) {
    int c = Peek();
    if (c == '{' || c == '[') {
      if (depth >= kMaxDepth) Fail("nesting deeper than " + std::to_string(kMaxDepth) + " levels");
      return c == '{' ? ParseObject(depth) : ParseArray(depth);
    }
    Value value;
    value.position = here_;
    if (c == '"') {
      value.kind = Kind::kString;
      value.text = ParseString();
    } else if (c == '-' || IsDigit(c)) {
      value.kind = Kind::kNumber;
      value.text = ParseNumber();
    } else if (c >= 'a' && c <= 'z') {
      ParseWord(value);
    } else {
      Fail("expected a JSON value, found " + DescribeHere());
    }
    return value;
  }

  void ParseWord(Value& value) {
    std::size_t start = pos_;
    std::size_t end = start;
    while (end < text_.size() && ((text_[end] >= 'a' && text_[end] <= 'z') || (text_[end] >= 'A' && text_[end] <= 'Z') ||
                                  IsDigit(static_cast<unsigned char>(text_[end])) || text_[end] == '_')) {
      ++end;
    }
    std::string_view word = text_.substr(start, end - start);
    if (word == "true" || word == "false") {
      value.kind = Kind::kBool;
      value.boolean = word == "true";
    } else if (word == "null") {
      value.kind = Kind::kNull;
    } else {
      Fail("unknown word " + Quote(word) + "; expected a JSON value");
    }
    while (pos_ < end) Advance();
  }

  std::string ParseNumber() {
    std::size_t start = pos_;
    if (Peek() == '-') Advance();
    if (Peek() == '0') {
      Advance();
      if (IsDigit(Peek())) Fail("a number may not start with the digit 0 followed by more digits");
    } else if (IsDigit(Peek())) {
      while (IsDigit(Peek())) Advance();
    } else {
      Fail("expected a digit, found " + DescribeHere());
    }
    if (Peek() == '.') {
      Advance();
      if (!IsDigit(Peek())) Fail("expected a digit after the decimal point, found " + DescribeHere());
      while (IsDigit(Peek())) Advance();
    }
    if (Peek() == 'e' || Peek() == 'E') {
      Advance();
      if (Peek() == '+' || Peek() == '-') Advance();
      if (!IsDigit(Peek())) Fail("expected a digit in the exponent, found " + DescribeHere());
      while (IsDigit(Peek())) Advance();
    }
    return std::string(text_.substr(start, pos_ - start));
  }

  std::uint32_t ParseHex4() {
    std::uint32_t code = 0;
    for (int i = 0; i < 4; ++i) {
      int digit = HexDigit(Peek());
      if (digit < 0) Fail("expected four hexadecimal digits after \\u, found " + DescribeHere());
      code = code * 16 + static_cast<std::uint32_t>(digit);
      Advance();
    }
    return code;
  }

  void ParseEscape(std::string& out) {
    Position start = here_;
    Advance();  // the backslash
    int c = Peek();
    switch (c) {
      case '"': out += '"'; break;
      case '\\': out += '\\'; break;
      case '/': out += '/'; break;
      case 'b': out += '\b'; break;
      case 'f': out += '\f'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'u': {
        Advance();
        std::uint32_t code = ParseHex4();
        if (code >= 0xDC00 && code <= 0xDFFF) FailAt(start, "unpaired low surrogate in a \\u escape");
        if (code >= 0xD800 && code <= 0xDBFF) {
          if (Peek() != '\\' || Peek(1) != 'u') FailAt(start, "high surrogate not followed by a low surrogate escape");
          Advance();
          Advance();
          std::uint32_t low = ParseHex4();
          if (low < 0xDC00 || low > 0xDFFF) FailAt(start, "high surrogate not followed by a low surrogate escape");
          code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, code);
        return;
      }
      default:
        Fail("invalid escape: expected one of \\\" \\\\ \\/ \\b \\f \\n \\r \\t \\u after the backslash, found " +
             DescribeHere());
    }
    Advance();
  }

  std::string ParseString() {
    Position opening = here_;
    Advance();
    std::string out;
    for (;;) {
      int c = Peek();
      if (c < 0) FailAt(opening, "unterminated string");
      if (c == '"') {
        Advance();
        return out;
      }
      if (c == '\\') {
        ParseEscape(out);
      } else if (c < 0x20) {
        Fail("control character in a string; write it as an escape (found " + DescribeHere() + ")");
      } else if (c < 0x80) {
        out += static_cast<char>(c);
        Advance();
      } else {
        std::size_t length = Utf8SequenceLength();
        if (length == 0) Fail("invalid UTF-8 in a string: found " + DescribeHere());
        out.append(text_.substr(pos_, length));
        for (std::size_t i = 0; i < length; ++i) Advance();
      }
    }
  }

  Value ParseArray(int depth) {
    Value array;
    array.kind = Kind::kArray;
    array.position = here_;
    Advance();
    SkipWhitespace();
    if (Peek() == ']') {
      Advance();
      return array;
    }
    for (;;) {
      SkipWhitespace();
      if (Peek() == ']' && !array.items.empty()) Fail("expected a JSON value after ',', found ']' (a trailing comma)");
      array.items.push_back(ParseValue(depth + 1));
      SkipWhitespace();
      if (Peek() == ',') {
        Advance();
      } else if (Peek() == ']') {
        Advance();
        return array;
      } else {
        Fail("expected ',' or ']' after an array item, found " + DescribeHere());
      }
    }
  }

  Value ParseObject(int depth) {
    Value object;
    object.kind = Kind::kObject;
    object.position = here_;
    Advance();
    SkipWhitespace();
    if (Peek() == '}') {
      Advance();
      return object;
    }
    std::unordered_map<std::string, Position> seen;
    for (;;) {
      SkipWhitespace();
      if (Peek() != '"') {
        if (Peek() == '}' && !object.members.empty()) Fail("expected a key after ',', found '}' (a trailing comma)");
        Fail("expected a string key, found " + DescribeHere());
      }
      Member member;
      member.keyPosition = here_;
      member.key = ParseString();
      auto [first, added] = seen.emplace(member.key, member.keyPosition);
      if (!added) {
        FailAt(member.keyPosition, "duplicate key " + Quote(member.key) + " (first given at " +
                                       std::to_string(first->second.line) + ":" + std::to_string(first->second.column) +
                                       ")");
      }
      SkipWhitespace();
      if (Peek() != ':') Fail("expected ':' after the key " + Quote(member.key) + ", found " + DescribeHere());
      Advance();
      SkipWhitespace();
      member.value = ParseValue(depth + 1);
      object.members.push_back(std::move(member));
      SkipWhitespace();
      if (Peek() == ',') {
        Advance();
      } else if (Peek() == '}') {
        Advance();
        return object;
      } else {
        Fail("expected ',' or '}' after an object member, found " + DescribeHere());
      }
    }
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  Position here_;
};

}  // namespace

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

Value Parse(std::string_view text) { return Reader(text).ParseDocument(); }

std::string FormatError(std::string_view source, Position position, std::string_view message) {
  return std::string(source) + ":" + std::to_string(position.line) + ":" + std::to_string(position.column) + ": " +
         std::string(message);
}

}  // namespace kelmorrow::json
