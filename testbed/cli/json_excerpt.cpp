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

// Keeps [from, to) and the line ends, blanks everything else; `wrap` opens
// an object with the first blank before the member and closes it at the end.
std::string Isolate(std::string_view text, std::size_t from, std::size_t to, bool wrap) {
  std::string out(text.substr(0, Start(text)));
  bool opened = !wrap;
  for (std::size_t i = Start(text); i < text.size(); ++i) {
    char c = text[i];
    if (i >= from && i < to) {
      out += c;
    } else if (c == '\n' || c == '\r') {
      out += c;
    } else if (!IsContinuation(c)) {
      out += !opened && i < from ? '{' : ' ';
      opened = opened || i < from;
    }
  }
  if (wrap) out += '}';
  return out;
}

}  // namespace

std::string IsolateMember(std::string_view text, Position key, Position value) {
  return Isolate(text, OffsetOf(text, key), EndOfValue(text, OffsetOf(text, value)), true);
}

std::string IsolateValue(std::string_view text, Position value) {
  const std::size_t from = OffsetOf(text, value);
  return Isolate(text, from, EndOfValue(text, from), false);
}

}  // namespace kronel_names
