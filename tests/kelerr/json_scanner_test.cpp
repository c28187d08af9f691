#include "kelerr/json_scanner.h"

#include <gtest/gtest.h>

#include <string>

namespace kelerr {
namespace {

TEST(FindAppendPoint, FindsClosingBracketOfValidContainers) {
  const char* const texts[] = {
      "{}", "[]", "{\"a\":1}", "[\"\xC3\xA9\",[[]],{}]", "{\"a\":[\"}\",\"]\"]}  ",
      "{ \"a\" : [1, -2.5, 3e7, 4E-2, 0.5e+1] ,\r\n\t\"b\":{\"c\":[{}]} }",
      R"({"s":"q\" b\\ s\/ \b\f\n\r\t \u00e9 \uABcd","t":true,"f":false,"n":null})"};
  for (const char* text : texts) {
    const char* closing = FindAppendPoint(text);
    ASSERT_NE(closing, nullptr) << text;
    EXPECT_EQ(std::string(text).find_last_of("}]"), std::size_t(closing - text)) << text;
  }
}

TEST(FindAppendPoint, RejectsInvalidTexts) {
  const char* const texts[] = {
      "", " {}", "\"a\"", "1", "{", "{\"a\":1,}", "[1,]", "[,]", "{\"a\"}", "{a:1}",
      "{\"a\":1 \"b\":2}", "[1}", "{]", "[\"\\x\"]", "[\"\\u12g4\"]", "[\"\t\"]", "[\"\x7F\"]",
      "[-]", "[1.]", "[.5]", "[1e]", "[1e+]", "[tru]", "[nul]", "{}x", "{}{}", "[\"abc",
      "[\"\\u00"};
  for (const char* text : texts) EXPECT_EQ(FindAppendPoint(text), nullptr) << text;
  EXPECT_EQ(FindAppendPoint(static_cast<const char*>(nullptr)), nullptr);
}

TEST(FindAppendPoint, RejectsNestingTooDeepForTheStack) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  EXPECT_EQ(FindAppendPoint(deep.c_str()), nullptr);
  const std::string moderate = std::string(200, '[') + std::string(200, ']');
  EXPECT_NE(FindAppendPoint(moderate.c_str()), nullptr);
}

}  // namespace
}  // namespace kelerr
