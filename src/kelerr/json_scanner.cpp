#include "kelerr/json_scanner.h"

namespace kelerr {
namespace {

// Bounds the recursion, so that a hostile text cannot exhaust the stack.
constexpr int kMaxDepth = 256;

bool IsSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
bool IsHex(char c) noexcept { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

void SkipSpace(const char*& p) noexcept {
  while (IsSpace(*p)) ++p;
}

bool ScanDigits(const char*& p) noexcept {
  if (!IsDigit(*p)) return false;
  while (IsDigit(*p)) ++p;
  return true;
}

bool ScanString(const char*& p) noexcept {
  for (++p;; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c == '"') {
      ++p;
      return true;
    }
    if (c < 0x20 || c == 0x7F) return false;
    if (c != '\\') continue;
    ++p;
    if (*p == 'u') {
      for (int i = 0; i < 4; ++i)
        if (!IsHex(*++p)) return false;
    } else if (*p != '"' && *p != '\\' && *p != '/' && *p != 'b' && *p != 'f' && *p != 'n' && *p != 'r' &&
               *p != 't') {
      return false;
    }
  }
}

bool ScanNumber(const char*& p) noexcept {
  if (*p == '-') ++p;
  if (!ScanDigits(p)) return false;
  if (*p == '.' && !ScanDigits(++p)) return false;
  if (*p == 'e' || *p == 'E') {
    ++p;
    if (*p == '+' || *p == '-') ++p;
    if (!ScanDigits(p)) return false;
  }
  return true;
}

bool ScanLiteral(const char*& p, const char* word) noexcept {
  for (; *word != '\0'; ++word, ++p)
    if (*p != *word) return false;
  return true;
}

const char* ScanContainer(const char*& p, int depth) noexcept;

bool ScanValue(const char*& p, int depth) noexcept {
  switch (*p) {
    case '{':
    case '[':
      return ScanContainer(p, depth + 1) != nullptr;
    case '"':
      return ScanString(p);
    case 't':
      return ScanLiteral(p, "true");
    case 'f':
      return ScanLiteral(p, "false");
    case 'n':
      return ScanLiteral(p, "null");
    default:
      return ScanNumber(p);
  }
}

// p is at the opening bracket; on success it ends after the closing one.
const char* ScanContainer(const char*& p, int depth) noexcept {
  if (depth > kMaxDepth) return nullptr;
  const bool object = *p == '{';
  const char close = object ? '}' : ']';
  ++p;
  SkipSpace(p);
  if (*p != close) {
    for (;;) {
      if (object) {
        if (*p != '"' || !ScanString(p)) return nullptr;
        SkipSpace(p);
        if (*p != ':') return nullptr;
        ++p;
        SkipSpace(p);
      }
      if (!ScanValue(p, depth)) return nullptr;
      SkipSpace(p);
      if (*p == close) break;
      if (*p != ',') return nullptr;
      ++p;
      SkipSpace(p);
    }
  }
  return p++;
}

}  // namespace

const char* FindAppendPoint(const char* text) noexcept {
  if (text == nullptr || (*text != '{' && *text != '[')) return nullptr;
  const char* p = text;
  const char* closing = ScanContainer(p, 1);
  if (closing == nullptr) return nullptr;
  SkipSpace(p);
  return *p == '\0' ? closing : nullptr;
}

char* FindAppendPoint(char* text) noexcept {
  return const_cast<char*>(FindAppendPoint(static_cast<const char*>(text)));
}

}  // namespace kelerr
