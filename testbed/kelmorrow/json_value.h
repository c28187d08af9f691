#pragma once
// A JSON document in which every value and every object key remembers where
// it stood in the text, so that a reader of the document can point at it.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelmorrow::json {

// 1-based line and column; a column counts characters, not bytes.
struct Position {
  std::uint32_t line = 1;
  std::uint32_t column = 1;
};

enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

struct Member;

struct Value {
  Kind kind = Kind::kNull;
  Position position;
  bool boolean = false;
  // A string's UTF-8 contents, or a number exactly as written.
  std::string text;
  std::vector<Value> items;
  // In document order; keys are unique.
  std::vector<Member> members;

  bool IsIntegerLiteral() const;
  const Member* Find(std::string_view key) const;
};

struct Member {
  std::string key;
  Position keyPosition;
  Value value;
};

// "a string", "an object", ... for messages.
const char* DescribeKind(Kind kind);

}  // namespace kelmorrow::json
