#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kelerr/exception.h"
#include "provider/name_list.h"
#include "sim_engine.h"
#include "ztrtsim.h"

namespace {

using provider::WriteNameList;

using Names = std::vector<std::string>;
using test_support::ztrtsim::AttrNames;
using test_support::ztrtsim::DecodeList;
using test_support::ztrtsim::StringAttr;
using test_support::ztrtsim::UI32Attr;

class NameListTest : public ::testing::Test {
 protected:
  void SetUp() override { ztrtsimReset(); }
  void TearDown() override {
    if (slot_ != nullptr) {
      EXPECT_EQ(ztrtsimDisposeNameList(slot_), ZTRTSIM_OK);
    }
    EXPECT_EQ(ztrtsimLiveHandles(), 0);
    EXPECT_EQ(ztrtsimLiveVariants(), 0);
    ztrtsimReset();
  }
  hostbind::UHandle slot_ = nullptr;
};

// Names first, each with its name and flag, then the two fixed elements; the
// attribute names are what the host reads by their length byte.
TEST_F(NameListTest, WritesNamesThenTheFixedElements) {
  ASSERT_EQ(WriteNameList({"Dev1", "sync://localhost/system"}, &slot_), provider::kListWritten);
  ASSERT_NE(slot_, nullptr);
  EXPECT_EQ(ztrtsimListCount(slot_), 4);
  EXPECT_EQ(DecodeList(slot_), (Names{"Dev1", "sync://localhost/system"}));
  for (int i = 0; i < 2; ++i) EXPECT_EQ(AttrNames(slot_, i), (Names{"n", "f"}));
  EXPECT_EQ(AttrNames(slot_, 2), (Names{"g", "id", "f"}));
  EXPECT_EQ(UI32Attr(slot_, 2, "f"), 0x30000u);
  EXPECT_EQ(AttrNames(slot_, 3), (Names{"id", "f"}));
  EXPECT_EQ(UI32Attr(slot_, 3, "f"), 0x30000u);
}

TEST_F(NameListTest, EmptyListHoldsOnlyTheFixedElements) {
  ASSERT_EQ(WriteNameList({}, &slot_), provider::kListWritten);
  EXPECT_EQ(ztrtsimListCount(slot_), 2);
  EXPECT_EQ(DecodeList(slot_), Names{});
}

// The slot takes the result at once, whatever it held, even a null.
TEST_F(NameListTest, NoMemoryLeavesANullSlot) {
  hostbind::UHandle earlier = reinterpret_cast<hostbind::UHandle>(&slot_);
  slot_ = earlier;
  ASSERT_EQ(ztrtsimFailCall(ZTRTSIM_FN_DS_NEW_H_CLR, 1, 0), ZTRTSIM_OK);
  EXPECT_EQ(WriteNameList({"Dev1"}, &slot_), provider::kListNoMemory);
  EXPECT_EQ(slot_, nullptr);
  EXPECT_EQ(ztrtsimCallCount(ZTRTSIM_FN_SET_UI32_ATTR), 0);
}

TEST_F(NameListTest, UnconvertibleNameLeavesAPartListWithCountZero) {
  ASSERT_EQ(ztrtsimSetEncoding(ZTRTSIM_ENCODING_WINDOWS_1252), ZTRTSIM_OK);
  try {
    WriteNameList({"Caf\xC3\xA9", "\xCE\xA9mega", "Never"}, &slot_);
    FAIL() << "no exception";
  } catch (const kelerr::Exception& error) {
    EXPECT_EQ(error.Status().code, -52004);
  }
  ASSERT_NE(slot_, nullptr);
  EXPECT_EQ(ztrtsimListCount(slot_), 0);
  EXPECT_EQ(StringAttr(slot_, 0, "n"), "Caf\xE9");
  EXPECT_EQ(ztrtsimListElementAttrCount(slot_, 1), 0);
  EXPECT_EQ(ztrtsimListElementAttrCount(slot_, 2), 0);
}

// Each name's host string is released once the variant holds its copy.
TEST_F(NameListTest, ReleasesEveryIntermediateString) {
  std::vector<std::string> names;
  for (int i = 0; i < 50; ++i) names.push_back("Dev" + std::to_string(i));
  ASSERT_EQ(WriteNameList(names, &slot_), provider::kListWritten);
  EXPECT_EQ(ztrtsimLiveHandles(), 1);
  EXPECT_EQ(DecodeList(slot_), names);
}

}  // namespace
