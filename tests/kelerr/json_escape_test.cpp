#include "kelerr/json_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace kelerr {
namespace {

std::string Escaped(std::string_view text) {
  std::string out(EscapedLength(text), '?');
  EXPECT_EQ(WriteEscaped(out.data(), text), out.data() + out.size());
  return out;
}

TEST(JsonEscape, WritesTheTable) {
  EXPECT_EQ(Escaped("\"\\\t\b\f\n\r"), R"(\"\\\t\b\f\n\r)");
  EXPECT_EQ(Escaped(std::string_view("\x01\x0B\x1F\x7F\0", 5)), R"(\u0001\u000b\u001f\u007f\u0000)");
  EXPECT_EQ(Escaped("a/b \xC3\xA9\xE2\x82\xAC"), "a/b \xC3\xA9\xE2\x82\xAC");
}

}  // namespace
}  // namespace kelerr
