#include "kelerr/json_append.h"

#include <string>

#include "kelerr/json_scanner.h"
#include "test_records.h"

namespace kelerr::test {
namespace {

// A record of 512 bytes holding the text.
struct Buffer : OwnedRecord {
  explicit Buffer(const char* text) {
    ResizeJsonBuffer(this, 4);
    InitialiseJsonBuffer(json, capacity, text, std::strlen(text));
  }
  char* End() { return FindAppendPoint(json); }
};

// Comma rules.
TEST(Append, ToEmptyObjectWritesNoComma) {
  Buffer buffer("{}");
  char* end = AppendString(buffer.End(), "k\"", "v");
  EXPECT_STREQ(buffer.json, R"({"k\"":"v"})");
  EXPECT_EQ(*end, '}');
  EXPECT_TRUE(HasSoundLayout(buffer));
}

TEST(Append, AfterMembersPutsCommaBefore) {
  Buffer buffer("{\"a\":1}");
  AppendInt(AppendString(buffer.End(), "k", "v"), "n", -52004);
  EXPECT_STREQ(buffer.json, R"({"a":1,"k":"v","n":-52004})");
  EXPECT_TRUE(HasSoundLayout(buffer));
}

TEST(Append, AtOpeningBracketInsertsFirst) {
  Buffer buffer("{\"a\":1}");
  EXPECT_EQ(*AppendString(buffer.json, "k", "v"), ',');
  EXPECT_STREQ(buffer.json, R"({"k":"v","a":1})");
  Buffer empty("{ }");
  AppendString(empty.json, "k", "v");
  EXPECT_STREQ(empty.json, R"({"k":"v" })");
}

// Room is bounded by the marker.
TEST(Append, FillsBufferUpToMarkerButNotBeyond) {
  Buffer buffer("{}");
  const std::string value(512 - 2 - 2 - 2, 'x');  // text "{" + quotes + value + "}"
  ASSERT_NE(AppendString(buffer.End(), nullptr, value), nullptr);
  EXPECT_EQ(std::strlen(buffer.json), 510u);
  EXPECT_TRUE(HasSoundLayout(buffer));
  Buffer full("{}");
  EXPECT_EQ(AppendString(full.End(), nullptr, value + "x"), nullptr);
  EXPECT_STREQ(full.json, "{}");
  EXPECT_TRUE(HasSoundLayout(full));
}

TEST(Append, ChainStopsAfterMemberThatDoesNotFit) {
  Buffer buffer("{}");
  char* p = AppendString(AppendString(buffer.End(), "a", "1"), "big", std::string(600, 'x'));
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(AppendInt(p, "c", 3), nullptr);
  EXPECT_STREQ(buffer.json, R"({"a":"1"})");
}

// Growing.
TEST(GrowForAppend, DoublesUntilMemberFitsAndKeepsEarlierMembers) {
  Buffer buffer("{}");
  const std::string big(1500, 'x');
  char* p = AppendInt(buffer.End(), "first", 1);
  AppendInt(AppendString(p, "big", big, GrowRecord(buffer)), "last", 2, GrowRecord(buffer));
  EXPECT_EQ(buffer.capacity, 2048u);
  EXPECT_EQ(std::string(buffer.json), "{\"first\":1,\"big\":\"" + big + "\",\"last\":2}");
  EXPECT_TRUE(HasSoundLayout(buffer));
}

TEST(GrowForAppend, ResizeThatClaimsSuccessWithoutGrowingEndsTheAppend) {
  Buffer buffer("{}");
  buffer.resize = [](ErrorStatus* record, std::uint32_t capacity) {
    return capacity != 0 || ResizeJsonBuffer(record, 0);
  };
  EXPECT_EQ(AppendString(buffer.End(), "k", std::string(600, 'x'), GrowRecord(buffer)), nullptr);
}

}  // namespace
}  // namespace kelerr::test
