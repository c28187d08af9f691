#include <cstdint>
#include <vector>

#include "engine_test.h"

namespace ztrt_test {
namespace {

using NameLists = EngineTest;

// Builds a list the way the plug-in delivers one: count, padding, variant slots.
UHandle BuildList(const std::vector<std::string>& names) {
  const std::size_t elements = names.size() + 2;
  UHandle list = DSNewHClr(8 * names.size() + 24);
  EXPECT_NE(list, nullptr);
  auto* slots = reinterpret_cast<ZtVariantPtr*>(static_cast<char*>(*list) + 8);
  for (std::size_t i = 0; i < names.size(); ++i) {
    LStrHandle text = MakeString(names[i]);
    EXPECT_EQ(ZtVariantPStrSetStringAttr(&slots[i], NameAttr(), text), 0);
    EXPECT_EQ(ZtVariantPStrSetUI32Attr(&slots[i], FlagAttr(), 0x30000), 0);
    EXPECT_EQ(DSDisposeHandle(AsHandle(text)), 0);
  }
  ZtVariantPtr* fixed = slots + names.size();
  EXPECT_EQ(ZtVariantPStrSetUI32Attr(&fixed[0], GlyphAttr(), 0xFFFFFFFF), 0);
  EXPECT_EQ(ZtVariantPStrSetUI32Attr(&fixed[0], IdAttr(), 0xFFFFFFFF), 0);
  EXPECT_EQ(ZtVariantPStrSetUI32Attr(&fixed[0], FlagAttr(), 0x30000), 0);
  EXPECT_EQ(ZtVariantPStrSetUI32Attr(&fixed[1], IdAttr(), 3), 0);
  EXPECT_EQ(ZtVariantPStrSetUI32Attr(&fixed[1], FlagAttr(), 0x30000), 0);
  const auto count = static_cast<std::int32_t>(elements);
  std::memcpy(*list, &count, sizeof count);
  return list;
}

std::string StringAttr(UHandle list, int32_t index, const char* name) {
  char buffer[64];
  size_t length = 0;
  EXPECT_EQ(ztrtsimListGetStringAttr(list, index, name, buffer, sizeof buffer, &length), 0);
  return std::string(buffer, length);
}

uint32_t UI32Attr(UHandle list, int32_t index, const char* name) {
  uint32_t value = 0;
  EXPECT_EQ(ztrtsimListGetUI32Attr(list, index, name, &value), 0);
  return value;
}

TEST_F(NameLists, DecodesADeliveredList) {
  UHandle list = BuildList({"Dev1", "sync://localhost/system"});
  ASSERT_EQ(ztrtsimListCount(list), 4);
  EXPECT_EQ(ztrtsimListCapacity(list), 4);
  EXPECT_EQ(ztrtsimHandleSize(list), 40);
  EXPECT_EQ(StringAttr(list, 0, "n"), "Dev1");
  EXPECT_EQ(StringAttr(list, 1, "n"), "sync://localhost/system");
  for (int32_t i = 0; i < 2; ++i) {
    EXPECT_EQ(ztrtsimListElementAttrCount(list, i), 2);
    EXPECT_EQ(UI32Attr(list, i, "f"), 0x30000u);
  }
  EXPECT_EQ(ztrtsimListElementAttrCount(list, 2), 3);
  EXPECT_EQ(UI32Attr(list, 2, "g"), 0xFFFFFFFFu);
  EXPECT_EQ(UI32Attr(list, 2, "id"), 0xFFFFFFFFu);
  EXPECT_EQ(ztrtsimListElementAttrCount(list, 3), 2);
  EXPECT_EQ(UI32Attr(list, 3, "id"), 3u);
  EXPECT_EQ(ztrtsimLiveVariants(), 4);

  EXPECT_EQ(ztrtsimDisposeNameList(list), 0);
  EXPECT_EQ(ztrtsimLiveVariants(), 0);
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
}

TEST_F(NameLists, LookupsReportWhatIsWrong) {
  UHandle list = BuildList({"a"});
  char small[2];
  size_t length = 0;
  uint32_t value = 0;
  EXPECT_EQ(ztrtsimListGetStringAttr(list, 0, "flag", small, sizeof small, &length), ZTRTSIM_ERR_NOT_FOUND);
  EXPECT_EQ(ztrtsimListGetStringAttr(list, 0, "f", small, sizeof small, &length), ZTRTSIM_ERR_TYPE);
  EXPECT_EQ(ztrtsimListGetUI32Attr(list, 0, "n", &value), ZTRTSIM_ERR_TYPE);
  EXPECT_EQ(ztrtsimListGetUI32Attr(list, 3, "id", &value), ZTRTSIM_ERR_NOT_FOUND);
  EXPECT_EQ(ztrtsimListElementAttrCount(list, -1), -1);
  EXPECT_EQ(ztrtsimListElementAttrCount(list, 3), -1);

  UHandle longer = BuildList({"abc"});
  EXPECT_EQ(ztrtsimListGetStringAttr(longer, 0, "n", small, sizeof small, &length), ZTRTSIM_ERR_BUFFER);
  EXPECT_EQ(length, 3u);
  EXPECT_EQ(ztrtsimDisposeNameList(longer), 0);
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
  UHandle list = DSNewHClr(32);
  auto* slots = reinterpret_cast<ZtVariantPtr*>(static_cast<char*>(*list) + 8);
  ASSERT_EQ(ZtVariantPStrSetUI32Attr(&slots[0], FlagAttr(), 0x30000), 0);
  EXPECT_EQ(ztrtsimListCount(list), 0);
  EXPECT_EQ(ztrtsimListCapacity(list), 3);
  EXPECT_EQ(UI32Attr(list, 0, "f"), 0x30000u);
  EXPECT_EQ(ztrtsimListElementAttrCount(list, 1), 0);
  EXPECT_EQ(ztrtsimDisposeNameList(list), 0);
  EXPECT_EQ(ztrtsimLiveVariants(), 0);
}

TEST_F(NameLists, ListWithAStraySlotIsNotDisposedHalfWay) {
  UHandle list = BuildList({"a"});
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
