#include <cstdint>
#include <vector>

#include "engine_test.h"

namespace ztrt_test {
namespace {

using NameLists = EngineTest;
using Names = std::vector<std::string>;

// An element with a name and a flag, as the plug-in writes one.
ZtVariantPtr Named(const std::string& name) {
  ZtVariantPtr element = nullptr;
  LStrHandle text = MakeString(name);
  EXPECT_EQ(ZtVariantPStrSetStringAttr(&element, NameAttr(), text), 0);
  EXPECT_EQ(ZtVariantPStrSetUI32Attr(&element, FlagAttr(), 0x30000), 0);
  EXPECT_EQ(DSDisposeHandle(AsHandle(text)), 0);
  return element;
}

ZtVariantPtr Numbered(PStr attribute, std::uint32_t value) {
  ZtVariantPtr element = nullptr;
  EXPECT_EQ(ZtVariantPStrSetUI32Attr(&element, attribute, value), 0);
  return element;
}

// Slots are read after the count and its padding; the count is what the
// block says, whatever the slots behind it.
TEST_F(NameLists, ReadsTheCountFieldAndEverySlotOfTheBlock) {
  UHandle list = RawList(7, {Named("Dev1"), nullptr, Numbered(IdAttr(), 3)});
  EXPECT_EQ(ztrtsimListCount(list), 7);
  EXPECT_EQ(ztrtsimListCapacity(list), 3);
  EXPECT_EQ(ztrtsimHandleSize(list), 32);
  EXPECT_EQ(AttrNames(list, 0), (Names{"n", "f"}));
  EXPECT_EQ(StringAttr(list, 0, "n"), "Dev1");
  EXPECT_EQ(UI32Attr(list, 0, "f"), 0x30000u);
  EXPECT_EQ(ztrtsimListElementAttrCount(list, 1), 0);
  EXPECT_EQ(AttrNames(list, 2), Names{"id"});
  EXPECT_EQ(UI32Attr(list, 2, "id"), 3u);
  EXPECT_EQ(ztrtsimLiveVariants(), 2);

  EXPECT_EQ(ztrtsimDisposeNameList(list), 0);
  EXPECT_EQ(ztrtsimLiveVariants(), 0);
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
}

TEST_F(NameLists, LookupsReportWhatIsWrong) {
  UHandle list = RawList(1, {Named("abc")});
  char small[2];
  size_t length = 0;
  uint32_t value = 0;
  EXPECT_EQ(ztrtsimListGetStringAttr(list, 0, "flag", small, sizeof small, &length), ZTRTSIM_ERR_NOT_FOUND);
  EXPECT_EQ(ztrtsimListGetStringAttr(list, 0, "f", small, sizeof small, &length), ZTRTSIM_ERR_TYPE);
  EXPECT_EQ(ztrtsimListGetUI32Attr(list, 0, "n", &value), ZTRTSIM_ERR_TYPE);
  EXPECT_EQ(ztrtsimListGetUI32Attr(list, 1, "id", &value), ZTRTSIM_ERR_NOT_FOUND);
  EXPECT_EQ(ztrtsimListElementAttrCount(list, -1), -1);
  EXPECT_EQ(ztrtsimListElementAttrCount(list, 1), -1);
  EXPECT_EQ(ztrtsimListGetStringAttr(list, 0, "n", small, sizeof small, &length), ZTRTSIM_ERR_BUFFER);
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(ztrtsimDisposeNameList(list), 0);
}

TEST_F(NameLists, NonListsAreRefused) {
  void* block = nullptr;
  EXPECT_EQ(ztrtsimListCount(&block), -1);
  EXPECT_EQ(ztrtsimListCount(nullptr), -1);
  EXPECT_EQ(ztrtsimDisposeNameList(&block), ZTRTSIM_ERR_HANDLE);
  UHandle tiny = DSNewHClr(4);
  EXPECT_EQ(ztrtsimListCapacity(tiny), -1);
  EXPECT_EQ(DSDisposeHandle(tiny), 0);
}

// A list abandoned half-way keeps count 0, yet its variants are found and freed.
TEST_F(NameLists, UncountedElementsAreStillReachable) {
  UHandle list = RawList(0, {Numbered(FlagAttr(), 0x30000), nullptr, nullptr});
  EXPECT_EQ(ztrtsimListCount(list), 0);
  EXPECT_EQ(ztrtsimListCapacity(list), 3);
  EXPECT_EQ(UI32Attr(list, 0, "f"), 0x30000u);
  EXPECT_EQ(ztrtsimListElementAttrCount(list, 1), 0);
  EXPECT_EQ(ztrtsimDisposeNameList(list), 0);
  EXPECT_EQ(ztrtsimLiveVariants(), 0);
}

TEST_F(NameLists, ListWithAStraySlotIsNotDisposedHalfWay) {
  UHandle list = RawList(3, {Numbered(IdAttr(), 1), Numbered(IdAttr(), 2), Numbered(IdAttr(), 3)});
  auto* slots = reinterpret_cast<ZtVariantPtr*>(static_cast<char*>(*list) + 8);
  const ZtVariantPtr kept = slots[2];
  int stray = 0;
  slots[2] = reinterpret_cast<ZtVariantPtr>(&stray);
  EXPECT_EQ(ztrtsimListElementAttrCount(list, 2), -1);
  EXPECT_EQ(ztrtsimDisposeNameList(list), ZTRTSIM_ERR_VARIANT);
  EXPECT_EQ(ztrtsimLiveVariants(), 3);
  slots[2] = kept;
  EXPECT_EQ(ztrtsimDisposeNameList(list), 0);
  EXPECT_EQ(ztrtsimLiveVariants(), 0);
}

}  // namespace
}  // namespace ztrt_test
