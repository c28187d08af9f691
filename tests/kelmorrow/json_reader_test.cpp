#include <gtest/gtest.h>

#include <string>

#include "json_reader.h"

namespace {

using kelmorrow::json::Kind;
using kelmorrow::json::Parse;
using kelmorrow::json::ParseError;

std::string ErrorOf(const std::string& text) {
  try {
    Parse(text);
  } catch (const ParseError& error) {
    return std::to_string(error.position().line) + ":" + std::to_string(error.position().column) + ": " + error.what();
  }
  return "accepted";
}

TEST(JsonReader, KeepsPositionsOfKeysAndValuesCountingCharacters) {
  auto root = Parse("{\n  \"a\": [1, true],\n  \"\xC3\xA9\xE2\x82\xAC\": \"x\"\n}");
  ASSERT_EQ(root.kind, Kind::kObject);
  ASSERT_EQ(root.members.size(), 2u);
  const auto& a = root.members[0];
  EXPECT_EQ(a.keyPosition.line, 2u);
  EXPECT_EQ(a.keyPosition.column, 3u);
  EXPECT_EQ(a.value.position.column, 8u);
  EXPECT_EQ(a.value.items[1].position.column, 12u);
  const auto& euro = root.members[1];
  EXPECT_EQ(euro.keyPosition.line, 3u);
  EXPECT_EQ(euro.value.position.column, 9u);
}

TEST(JsonReader, DecodesEscapesIncludingSurrogatePairsAndZero) {
  auto value = Parse(R"("\u00e9\ud834\udd1e\n\"\\\/\u0000!")");
  EXPECT_EQ(value.text, std::string("\xC3\xA9\xF0\x9D\x84\x9E\n\"\\/\0!", 12));
}

TEST(JsonReader, KeepsNumbersAsWritten) {
  auto value = Parse("[-0.5e+3, 18446744073709551616, 0]");
  EXPECT_EQ(value.items[0].text, "-0.5e+3");
  EXPECT_FALSE(value.items[0].IsIntegerLiteral());
  EXPECT_EQ(value.items[1].text, "18446744073709551616");
  EXPECT_TRUE(value.items[2].IsIntegerLiteral());
}

// Syntax errors point at the character that is wrong.
TEST(JsonReader, ReportsSyntaxErrorsWithLineAndColumn) {
  EXPECT_EQ(ErrorOf(""), "1:1: expected a JSON value, found the end of the input");
  EXPECT_EQ(ErrorOf("{\"a\": 1,}"), "1:9: expected a key after ',', found '}' (a trailing comma)");
  EXPECT_EQ(ErrorOf("[1,]"), "1:4: expected a JSON value after ',', found ']' (a trailing comma)");
  EXPECT_EQ(ErrorOf("[1 2]"), "1:4: expected ',' or ']' after an array item, found '2'");
  EXPECT_EQ(ErrorOf("{\"a\" 1}"), "1:6: expected ':' after the key \"a\", found '1'");
  EXPECT_EQ(ErrorOf("{\n  \"a\": 1\n  \"b\": 2}"), "3:3: expected ',' or '}' after an object member, found '\"'");
  EXPECT_EQ(ErrorOf("{1: 2}"), "1:2: expected a string key, found '1'");
  EXPECT_EQ(ErrorOf("  \"abc"), "1:3: unterminated string");
  EXPECT_EQ(ErrorOf("tru"), "1:1: unknown word \"tru\"; expected a JSON value");
  EXPECT_EQ(ErrorOf("{} x"), "1:4: expected the end of the input after the JSON value, found 'x'");
  EXPECT_EQ(ErrorOf("01"), "1:2: a number may not start with the digit 0 followed by more digits");
  EXPECT_EQ(ErrorOf("1."), "1:3: expected a digit after the decimal point, found the end of the input");
  EXPECT_EQ(ErrorOf("-x"), "1:2: expected a digit, found 'x'");
  EXPECT_EQ(ErrorOf("1e+"), "1:4: expected a digit in the exponent, found the end of the input");
  EXPECT_EQ(ErrorOf("/* no */ 1"), "1:1: expected a JSON value, found '/'");
}

TEST(JsonReader, RejectsBadStringContents) {
  EXPECT_EQ(ErrorOf("\"a\tb\""), "1:3: control character in a string; write it as an escape (found the control "
                                  "character U+0009)");
  EXPECT_EQ(ErrorOf(R"("\q")"), "1:3: invalid escape: expected one of \\\" \\\\ \\/ \\b \\f \\n \\r \\t \\u after "
                                "the backslash, found 'q'");
  EXPECT_EQ(ErrorOf(R"("\u12G4")"), "1:6: expected four hexadecimal digits after \\u, found 'G'");
  EXPECT_EQ(ErrorOf(R"( "\ud834x")"), "1:3: high surrogate not followed by a low surrogate escape");
  EXPECT_EQ(ErrorOf(R"("\udd1e")"), "1:2: unpaired low surrogate in a \\u escape");
  EXPECT_EQ(ErrorOf("\"ab\xFF\""), "1:4: invalid UTF-8 in a string: found the byte 0xFF, which is not UTF-8");
  EXPECT_EQ(ErrorOf("\"\xC0\xAF\""), "1:2: invalid UTF-8 in a string: found the byte 0xC0, which is not UTF-8");
  EXPECT_EQ(ErrorOf("\"\xED\xA0\x80\""), "1:2: invalid UTF-8 in a string: found the byte 0xED, which is not UTF-8");
  EXPECT_EQ(ErrorOf("\"\xE2\x82\""), "1:2: invalid UTF-8 in a string: found the byte 0xE2, which is not UTF-8");
}

TEST(JsonReader, RejectsDuplicateKeysAtTheSecondOne) {
  EXPECT_EQ(ErrorOf("{\"a\": 1,\n  \"a\": 2}"), "2:3: duplicate key \"a\" (first given at 1:2)");
  EXPECT_EQ(ErrorOf("[{\"a\": 1}, {\"a\": 2}]"), "accepted");
}

TEST(JsonReader, LimitsNesting) {
  std::string deepest = std::string(kelmorrow::json::kMaxDepth, '[') + std::string(kelmorrow::json::kMaxDepth, ']');
  EXPECT_EQ(ErrorOf(deepest), "accepted");
  std::string deeper = "[" + deepest + "]";
  EXPECT_EQ(ErrorOf(deeper), "1:201: nesting deeper than 200 levels");
}

TEST(JsonReader, SkipsAByteOrderMark) {
  auto value = Parse("\xEF\xBB\xBF[true]");
  EXPECT_TRUE(value.items.at(0).boolean);
  EXPECT_EQ(value.position.column, 1u);
}

TEST(JsonReader, FormatsMessagesWithTheSource) {
  EXPECT_EQ(kelmorrow::json::FormatError("hw.json", {12, 7}, "expected a string"), "hw.json:12:7: expected a string");
}

}  // namespace
