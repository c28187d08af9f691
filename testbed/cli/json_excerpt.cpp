#include "json_excerpt.h"

#include <stdexcept>

namespace kronel_names {
namespace {

using kelmorrow::json::Position;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::size_t Start(std::string_view text) { return text.substr(0, 3) == kByteOrderMark ? 3 : 0; }

// Counts lines and columns the way the JSON reader does: a column is a
// character, and neither continuation bytes nor carriage returns take one.
std::size_t OffsetOf(std::string_view text, Position wanted) {
  Position here;
  for (std::size_t i = Start(text); i < text.size(); ++i) {
    if (here.line == wanted.line && here.column == wanted.column && !IsContinuation(text[i])) return i;
    if (text[i] == '\n') {
      ++here.line;
      here.column = 1;
    } else if (!IsContinuation(text[i]) && text[i] != '\r') {
      ++here.column;
    }
  }
  throw std::logic_error("position outside the text");
}

// The offset just past the JSON value that starts at `begin`.
std::size_t EndOfValue(std::string_view text, std::size_t begin) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = begin; i < text.size(); ++i) {
    char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
        if (depth == 0) return i + 1;
      }
      continue;
    }
    switch (c) {
      case '"': inString = true; break;
      case '[':
      case '{': ++depth; break;
      case ']':
      case '}':
        if (depth == 0) return i;  // the end of a bare scalar inside a container
        if (--depth == 0) return i + 1;
        break;
      case ',':
      case ' ':
      case '\t':
      case '\r':
      case '\n':
        if (depth == 0) return i;
        break;
      default: break;
    }
  }
  return text.size();
}

}  // namespace

std::string IsolateMember(std::string_view text, Position key, Position value) {
  const std::size_t from = OffsetOf(text, key);
  const std::size_t to = EndOfValue(text, OffsetOf(text, value));
  std::string out(text.substr(0, Start(text)));
  bool opened = false;
  for (std::size_t i = Start(text); i < text.size(); ++i) {
    char c = text[i];
    if (i >= from && i < to) {
      out += c;
    } else if (c == '\n' || c == '\r') {
      out += c;
    } else if (!IsContinuation(c)) {
      // The first blank before the member opens the object around it.
      out += !opened && i < from ? '{' : ' ';
      opened = opened || i < from;
    }
  }
  out += '}';
  return out;
}

}  // namespace kronel_names
