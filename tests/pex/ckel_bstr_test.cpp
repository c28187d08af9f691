#include "pex/ckel_bstr.h"

#include "test_support.h"

namespace kel {
namespace pex {
namespace {

using test::Wide;

const platform::WideString kText = Wide({0x68, 0x69, 0x20AC});

platform::WideString Text(BSTR text) { return platform::WideString(text, platform::SysStringLen(text)); }

TEST(CkelBStr, NullAttachOrCopy) {
  EXPECT_EQ(CkelBStr(nullptr).Get(), nullptr);
  EXPECT_EQ(CkelBStr(CkelBStr()).Get(), nullptr);
  BSTR raw = platform::SysAllocString(kText.c_str());
  const CkelBStr copied(raw);
  EXPECT_NE(copied.Get(), raw);
  EXPECT_EQ(Text(copied.Get()), kText);
  EXPECT_EQ(copied.Length(), 3u);
  const CkelBStr attached(raw, true);
  EXPECT_EQ(attached.Get(), raw);
  const CkelBStr copy(attached);
  EXPECT_NE(copy.Get(), raw);
  EXPECT_EQ(Text(copy.Get()), kText);
}

TEST(CkelBStr, AssignCopiesEvenFromItself) {
  CkelBStr holder(platform::SysAllocString(kText.c_str()), true);
  holder.Assign(holder.Get());
  EXPECT_EQ(Text(holder.Get()), kText);
  CkelBStr other;
  other = holder;
  holder.Free();
  EXPECT_EQ(Text(other.Get()), kText);
}

TEST(CkelBStr, DetachAndOutParameter) {
  CkelBStr holder(platform::SysAllocString(kText.c_str()), true);
  BSTR raw = holder.Detach();
  EXPECT_EQ(holder.Get(), nullptr);
  holder.Attach(raw);
  // The held string is freed (LeakSanitizer would see it otherwise) and the new one owned.
  BSTR* slot = holder.FreeAndGetAddressOf();
  EXPECT_EQ(*slot, nullptr);
  *slot = platform::SysAllocString(kText.c_str());
  EXPECT_EQ(Text(holder.Get()), kText);
}

}  // namespace
}  // namespace pex
}  // namespace kel
