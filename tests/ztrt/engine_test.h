#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "sim_engine.h"
#include "ztrt_exports.h"
#include "ztrtsim.h"

namespace ztrt_test {

using hostbind::LStrHandle;
using hostbind::PStr;
using hostbind::UHandle;
using hostbind::ZtVariantPtr;
using test_support::ztrtsim::AttrNames;
using test_support::ztrtsim::StringAttr;
using test_support::ztrtsim::UI32Attr;

// Every test starts from a fresh engine and leaves none of its state behind.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ztrtsimReset(); }
  void TearDown() override { ztrtsimReset(); }
};

inline LStrHandle MakeString(const std::string& bytes) {
  LStrHandle handle = nullptr;
  const auto status = LStrFromPtr(&handle, static_cast<std::int32_t>(bytes.size()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()));
  EXPECT_EQ(status, 0);
  return handle;
}

inline std::string Bytes(LStrHandle handle) {
  return std::string(reinterpret_cast<const char*>((*handle)->str), static_cast<std::size_t>((*handle)->cnt));
}

inline UHandle AsHandle(LStrHandle handle) { return reinterpret_cast<UHandle>(handle); }

inline PStr Name(const char* bytes) { return reinterpret_cast<PStr>(bytes); }

// A block laid out as the engine reads a name list: the count field, four
// bytes of padding, then the element slots.
inline UHandle RawList(std::int32_t count, const std::vector<ZtVariantPtr>& slots) {
  UHandle list = DSNewHClr(8 + sizeof(ZtVariantPtr) * slots.size());
  EXPECT_NE(list, nullptr);
  if (list == nullptr) return nullptr;
  std::memcpy(*list, &count, sizeof count);
  std::memcpy(static_cast<char*>(*list) + 8, slots.data(), sizeof(ZtVariantPtr) * slots.size());
  return list;
}

// The attribute names exactly as the plug-in passes them.
inline PStr NameAttr() { return Name("\x01name"); }
inline PStr FlagAttr() { return Name("\x01" "flag"); }
inline PStr GlyphAttr() { return Name("\x01glyph"); }
inline PStr IdAttr() { return Name("\x02id"); }

}  // namespace ztrt_test
