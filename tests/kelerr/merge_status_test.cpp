#include "kelerr/merge_status.h"

#include "kelerr/set_error.h"
#include "test_records.h"

namespace kelerr::test {
namespace {

bool OtherResize(ErrorStatus* record, std::uint32_t capacity) { return ResizeJsonBuffer(record, capacity); }

TEST(MergeStatus, TargetKeepsItsOwnUnlessSourceIsMoreSevere) {
  OwnedRecord warning, success, error;
  SetError(warning, 2, {{"w", 1}});
  SetError(error, -1, {{"e", 1}});
  EXPECT_FALSE(MergeStatus(warning, success));
  EXPECT_FALSE(MergeStatus(error, warning));
  EXPECT_EQ(warning.code, 2);
  EXPECT_STREQ(warning.json, R"({"w":1})");
  EXPECT_EQ(error.code, -1);
  EXPECT_STREQ(error.json, R"({"e":1})");
}

TEST(MergeStatus, ErrorIntoWarningMovesTheBuffer) {
  OwnedRecord target, source;
  SetError(target, 2, {{"w", 1}});
  SetError(source, -3, {{"e", "x"}});
  char* const buffer = source.json;
  EXPECT_TRUE(MergeStatus(target, source));
  EXPECT_EQ(target.code, -3);
  EXPECT_EQ(target.json, buffer);
  EXPECT_STREQ(target.json, R"({"e":"x"})");
  EXPECT_EQ(source.code, -3);
  EXPECT_EQ(source.json, nullptr);
  EXPECT_EQ(source.capacity, 0u);
}

TEST(MergeStatus, DifferentResizeFunctionsCopyTheText) {
  OwnedRecord target, source;
  target.resize = OtherResize;
  SetError(source, -3, {{"e", "x"}});
  EXPECT_TRUE(MergeStatus(target, source));
  EXPECT_EQ(target.code, -3);
  EXPECT_STREQ(target.json, R"({"e":"x"})");
  EXPECT_STREQ(source.json, R"({"e":"x"})");
  EXPECT_TRUE(HasSoundLayout(target));
  // A source without text gives an empty object.
  OwnedRecord copy, bare;
  copy.resize = OtherResize;
  bare.code = -4;
  EXPECT_TRUE(MergeStatus(copy, bare));
  EXPECT_STREQ(copy.json, "{}");
}

}  // namespace
}  // namespace kelerr::test
