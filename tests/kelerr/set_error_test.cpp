#include "kelerr/set_error.h"

#include <string>

#include "test_records.h"

namespace kelerr::test {
namespace {

TEST(SetError, FreshRecordGets512BytesAndEmptyObject) {
  OwnedRecord record;
  SetError(record, -5, {});
  EXPECT_EQ(record.code, -5);
  EXPECT_EQ(record.capacity, 512u);
  EXPECT_STREQ(record.json, "{}");
  EXPECT_TRUE(HasSoundLayout(record));
}

TEST(SetError, ConversionErrorText) {
  OwnedRecord record;
  SetError(record, -52004,
           {{"error_constant", "kelapalerr_dynamicCastFailed"},
            {"file", "ztdataconv\\convert"},
            {"line", 55},
            {"component", "kronel_ztprovider"}});
  EXPECT_EQ(record.code, -52004);
  EXPECT_STREQ(record.json,
               R"({"error_constant":"kelapalerr_dynamicCastFailed","file":"ztdataconv\\convert",)"
               R"("line":55,"component":"kronel_ztprovider"})");
}

TEST(SetError, GrowsTwiceForLongMemberKeepingOrder) {
  OwnedRecord record;
  const std::string big(1500, 'y');
  SetError(record, -1, {{"a", 1}, {"big", big}, {"z", "end"}});
  EXPECT_EQ(record.capacity, 2048u);
  EXPECT_EQ(std::string(record.json), "{\"a\":1,\"big\":\"" + big + "\",\"z\":\"end\"}");
  EXPECT_TRUE(HasSoundLayout(record));
}

TEST(SetError, FirstErrorStays) {
  OwnedRecord record;
  SetError(record, -1, {{"n", 1}});
  SetError(record, -2, {{"n", 2}});
  EXPECT_EQ(record.code, -1);
  EXPECT_STREQ(record.json, R"({"n":1})");
}

TEST(SetError, ErrorReplacesWarningAndDropsItsMembers) {
  OwnedRecord record;
  SetError(record, 3, {{"w", "warn"}});
  SetError(record, -2, {{"e", "err"}});
  EXPECT_EQ(record.code, -2);
  EXPECT_STREQ(record.json, R"({"e":"err"})");
  EXPECT_TRUE(HasSoundLayout(record));
}

// Members without memory or key are left out; the text stays valid.
TEST(SetError, MemberThatCannotGrowIsDroppedWithTheRest) {
  OwnedRecord record;
  record.resize = ResizeUpTo512;
  SetError(record, -7, {{"a", 1}, {"big", std::string(600, 'x')}, {"c", 3}});
  EXPECT_STREQ(record.json, R"({"a":1})");
  EXPECT_TRUE(HasSoundLayout(record));
}

TEST(SetError, MemberWithoutKeyEndsTheList) {
  OwnedRecord record;
  SetError(record, -7, {{"a", 1}, {nullptr, 2}, {"c", 3}});
  EXPECT_STREQ(record.json, R"({"a":1})");
}

}  // namespace
}  // namespace kelerr::test
