#include <optional>
#include <vector>

#include "engine_test.h"

namespace ztrt_test {
namespace {

using Variants = EngineTest;

// Reads attributes back through a one-element list built around the slot.
class OneElement {
 public:
  explicit OneElement(ZtVariantPtr element) : list_(RawList(0, {element})) {}
  ~OneElement() { EXPECT_EQ(ztrtsimDisposeNameList(list_), 0); }

  int32_t Count() const { return ztrtsimListElementAttrCount(list_, 0); }
  std::vector<std::string> Names() const { return AttrNames(list_, 0); }
  std::optional<std::string> Text(const char* name) const { return StringAttr(list_, 0, name); }
  std::optional<uint32_t> Number(const char* name) const { return UI32Attr(list_, 0, name); }

 private:
  UHandle list_;
};

TEST_F(Variants, FirstSetterCreatesTheVariantInAZeroSlot) {
  ZtVariantPtr element = nullptr;
  ASSERT_EQ(ZtVariantPStrSetUI32Attr(&element, FlagAttr(), 0x30000), 0);
  ASSERT_NE(element, nullptr);
  const ZtVariantPtr created = element;
  ASSERT_EQ(ZtVariantPStrSetUI32Attr(&element, IdAttr(), 3), 0);
  EXPECT_EQ(element, created);
  EXPECT_EQ(ztrtsimLiveVariants(), 1);
  OneElement list(element);
  EXPECT_EQ(list.Count(), 2);
}

// The length byte decides: the plug-in's "\x01name" is the attribute "n".
TEST_F(Variants, AttributeNamesAreReadByTheirLengthByte) {
  ZtVariantPtr element = nullptr;
  LStrHandle value = MakeString("Dev1");
  ASSERT_EQ(ZtVariantPStrSetStringAttr(&element, NameAttr(), value), 0);
  ASSERT_EQ(ZtVariantPStrSetUI32Attr(&element, FlagAttr(), 1), 0);
  ASSERT_EQ(ZtVariantPStrSetUI32Attr(&element, GlyphAttr(), 2), 0);
  ASSERT_EQ(ZtVariantPStrSetUI32Attr(&element, IdAttr(), 3), 0);
  EXPECT_EQ(DSDisposeHandle(AsHandle(value)), 0);

  OneElement list(element);
  EXPECT_EQ(list.Names(), (std::vector<std::string>{"n", "f", "g", "id"}));
  EXPECT_EQ(list.Text("n"), "Dev1");
  EXPECT_EQ(list.Number("f"), 1u);
  EXPECT_EQ(list.Number("g"), 2u);
  EXPECT_EQ(list.Number("id"), 3u);
}

TEST_F(Variants, SettingAgainReplacesValueAndType) {
  ZtVariantPtr element = nullptr;
  ASSERT_EQ(ZtVariantPStrSetUI32Attr(&element, IdAttr(), 1), 0);
  ASSERT_EQ(ZtVariantPStrSetUI32Attr(&element, IdAttr(), 2), 0);
  OneElement list(element);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Number("id"), 2u);

  LStrHandle text = MakeString(std::string("a\0b", 3));
  ASSERT_EQ(ZtVariantPStrSetStringAttr(&element, IdAttr(), text), 0);
  // The variant keeps its own copy: the value may change or go afterwards.
  (*text)->str[0] = 'z';
  EXPECT_EQ(DSDisposeHandle(AsHandle(text)), 0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Text("id"), std::string("a\0b", 3));
}

TEST_F(Variants, BadArgumentsCreateNothing) {
  ZtVariantPtr element = nullptr;
  EXPECT_NE(ZtVariantPStrSetUI32Attr(nullptr, IdAttr(), 1), 0);
  EXPECT_NE(ZtVariantPStrSetUI32Attr(&element, nullptr, 1), 0);
  EXPECT_NE(ZtVariantPStrSetUI32Attr(&element, Name("\0x"), 1), 0);
  void* block = nullptr;
  EXPECT_NE(ZtVariantPStrSetStringAttr(&element, NameAttr(), reinterpret_cast<LStrHandle>(&block)), 0);
  EXPECT_EQ(element, nullptr);
  EXPECT_EQ(ztrtsimLiveVariants(), 0);
}

TEST_F(Variants, SlotHoldingAStrayPointerIsRefused) {
  int stray = 0;
  auto element = reinterpret_cast<ZtVariantPtr>(&stray);
  EXPECT_EQ(ZtVariantPStrSetUI32Attr(&element, IdAttr(), 1), ZTRTSIM_ERR_VARIANT);
  EXPECT_EQ(element, reinterpret_cast<ZtVariantPtr>(&stray));
  EXPECT_EQ(ztrtsimLiveVariants(), 0);
}

TEST_F(Variants, NullStringValueIsEmpty) {
  ZtVariantPtr element = nullptr;
  ASSERT_EQ(ZtVariantPStrSetStringAttr(&element, NameAttr(), nullptr), 0);
  OneElement list(element);
  EXPECT_EQ(list.Text("n"), "");
}

}  // namespace
}  // namespace ztrt_test
