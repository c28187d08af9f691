#include "json_value.h"

namespace kelmorrow::json {

bool Value::IsIntegerLiteral() const {
  return kind == Kind::kNumber && text.find_first_of(".eE") == std::string::npos;
}

const Member* Value::Find(std::string_view key) const {
  for (const Member& member : members) {
    if (member.key == key) return &member;
  }
  return nullptr;
}

const char* DescribeKind(Kind kind) {
  switch (kind) {
    case Kind::kNull: return "null";
    case Kind::kBool: return "a boolean";
    case Kind::kNumber: return "a number";
    case Kind::kString: return "a string";
    case Kind::kArray: return "an array";
    case Kind::kObject: return "an object";
  }
  return "a value";
}

}  // namespace kelmorrow::json
