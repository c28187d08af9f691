#include <gtest/gtest.h>

#include <cstring>

#include "platform/hresult.h"
#include "platform/ole.h"

namespace {

const platform::WideChar kHello[] = {'h', 'e', 'l', 'l', 'o', 0};

// BSTRs carry their own length, zero units included, and a terminator.
TEST(Bstr, KeepsLengthAndTerminator) {
  BSTR text = platform::SysAllocString(kHello);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(platform::SysStringLen(text), 5u);
  EXPECT_EQ(text[5], 0);
  EXPECT_EQ(std::memcmp(text, kHello, sizeof(kHello)), 0);
  platform::SysFreeString(text);

  const platform::WideChar withZero[] = {'a', 0, 'b'};
  BSTR embedded = platform::SysAllocStringLen(withZero, 3);
  ASSERT_NE(embedded, nullptr);
  EXPECT_EQ(platform::SysStringLen(embedded), 3u);
  EXPECT_EQ(embedded[2], 'b');
  EXPECT_EQ(embedded[3], 0);
  platform::SysFreeString(embedded);
}

TEST(Bstr, NullIsEmptyAndFreeable) {
  EXPECT_EQ(platform::SysAllocString(nullptr), nullptr);
  EXPECT_EQ(platform::SysStringLen(nullptr), 0u);
  platform::SysFreeString(nullptr);

  BSTR blank = platform::SysAllocStringLen(nullptr, 2);
  ASSERT_NE(blank, nullptr);
  EXPECT_EQ(platform::SysStringLen(blank), 2u);
  platform::SysFreeString(blank);
}

TEST(TaskMemory, GrowsKeepingContent) {
  auto* block = static_cast<char*>(platform::CoTaskMemAlloc(4));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "abc", 4);
  block = static_cast<char*>(platform::CoTaskMemRealloc(block, 4096));
  ASSERT_NE(block, nullptr);
  EXPECT_STREQ(block, "abc");
  platform::CoTaskMemFree(block);
  platform::CoTaskMemFree(nullptr);
}

TEST(HResult, SignDecidesFailure) {
  EXPECT_EQ(sizeof(HRESULT), 4u);
  EXPECT_FALSE(platform::Failed(platform::kS_FALSE));
  EXPECT_TRUE(platform::Failed(platform::kE_NOINTERFACE));
  EXPECT_EQ(static_cast<unsigned long>(static_cast<std::uint32_t>(platform::kE_OUTOFMEMORY)), 0x8007000Eul);
}

}  // namespace
