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

// Objects take members and arrays bare values, by one comma rule: none in
// an empty container (white space counts as empty), one before a new last
// item, one after a new first item (put at the opening bracket).
struct Container {
  const char* open;
  const char* close;
  const char* key;    // null: a bare value
  const char* item;   // one already there
  const char* added;  // the appended string "v\"" as it is written
};
const Container kContainers[] = {{"{", "}", "k\"", R"("a":1)", R"("k\"":"v\"")"},
                                 {"[", "]", nullptr, "1", R"("v\"")"}};

TEST(Append, CommaRulesOfObjectsAndArrays) {
  for (const Container& c : kContainers) {
    const std::string open = c.open, close = c.close, item = c.item, added = c.added;
    struct {
      std::string before;
      bool first;
      std::string after;
      std::string next;
    } cases[] = {
        {open + close, false, open + added + close, close},
        {open + item + close, false, open + item + "," + added + close, close},
        {open + item + close, true, open + added + "," + item + close, ","},
        {open + " " + close, false, open + " " + added + close, close},
        {open + " " + close, true, open + added + " " + close, " "},
    };
    for (const auto& test : cases) {
      SCOPED_TRACE(test.before + (test.first ? " at the opening bracket" : " at the end"));
      Buffer buffer(test.before.c_str());
      char* end = AppendString(test.first ? buffer.json : buffer.End(), c.key, "v\"");
      EXPECT_EQ(buffer.json, test.after);
      ASSERT_NE(end, nullptr);
      EXPECT_EQ(std::string(1, *end), test.next);
      EXPECT_TRUE(HasSoundLayout(buffer));
    }
  }
}

TEST(Append, ChainsPutEachItemAfterTheLast) {
  Buffer object("{\"a\":1}");
  AppendInt(AppendString(object.End(), "k", "v"), "n", -52004);
  EXPECT_STREQ(object.json, R"({"a":1,"k":"v","n":-52004})");
  Buffer array("[]");
  EXPECT_EQ(*AppendString(AppendInt(array.End(), nullptr, -7), nullptr, "a\"b"), ']');
  EXPECT_STREQ(array.json, R"([-7,"a\"b"])");
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

// Growing, in an object and in an array.
TEST(GrowForAppend, DoublesUntilMemberFitsAndKeepsEarlierMembers) {
  Buffer buffer("{}");
  const std::string big(1500, 'x');
  char* p = AppendInt(buffer.End(), "first", 1);
  AppendInt(AppendString(p, "big", big, GrowRecord(buffer)), "last", 2, GrowRecord(buffer));
  EXPECT_EQ(buffer.capacity, 2048u);
  EXPECT_EQ(std::string(buffer.json), "{\"first\":1,\"big\":\"" + big + "\",\"last\":2}");
  EXPECT_TRUE(HasSoundLayout(buffer));

  Buffer array("[true]");
  const std::string value(600, 'v');
  ASSERT_NE(AppendString(array.End(), nullptr, value, GrowRecord(array)), nullptr);
  EXPECT_EQ(array.capacity, 1024u);
  EXPECT_EQ(std::string(array.json), "[true,\"" + value + "\"]");
  EXPECT_TRUE(HasSoundLayout(array));
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
