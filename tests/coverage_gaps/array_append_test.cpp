// Appends into a JSON array: the scanner and both appends accept one as the
// top-level container, with bare values (no key).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kelerr/error_status.h"
#include "kelerr/json_append.h"
#include "kelerr/json_scanner.h"

namespace kelerr {
namespace {

struct ArrayRecord : ErrorStatus {
  explicit ArrayRecord(const char* text) {
    ResizeJsonBuffer(this, 4);
    InitialiseJsonBuffer(json, capacity, text, std::strlen(text));
  }
  ~ArrayRecord() { Clear(); }
};

// Comma rules, at the end and in front.
TEST(ArrayAppend, BareValuesGoAfterTheItemsWithCommas) {
  ArrayRecord record("[]");
  char* end = AppendString(AppendInt(FindAppendPoint(record.json), nullptr, -7), nullptr, "a\"b");
  EXPECT_STREQ(record.json, R"([-7,"a\"b"])");
  EXPECT_EQ(*end, ']');
}

TEST(ArrayAppend, AtTheOpeningBracketGoesFirst) {
  ArrayRecord record("[1]");
  EXPECT_EQ(*AppendString(record.json, nullptr, "x"), ',');
  EXPECT_STREQ(record.json, R"(["x",1])");
}

TEST(ArrayAppend, ArrayOfOnlyWhitespaceCountsAsEmpty) {
  ArrayRecord atEnd("[ ]");
  AppendInt(FindAppendPoint(atEnd.json), nullptr, 1);
  EXPECT_STREQ(atEnd.json, "[ 1]");
  ArrayRecord inFront("[ ]");
  AppendInt(inFront.json, nullptr, 2);
  EXPECT_STREQ(inFront.json, "[2 ]");
}

TEST(ArrayAppend, GrowsTheRecordForALongValue) {
  ArrayRecord record("[true]");
  const std::string value(600, 'v');
  char* end = AppendString(FindAppendPoint(record.json), nullptr, value, GrowRecord(record));
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(record.capacity, 1024u);
  EXPECT_EQ(std::string(record.json), "[true,\"" + value + "\"]");
  EXPECT_EQ(record.json[record.capacity - 1], kJsonMarker);
}

}  // namespace
}  // namespace kelerr
