#include <cstdint>
#include <vector>

#include "engine_test.h"

namespace ztrt_test {
namespace {

using Handles = EngineTest;

TEST_F(Handles, NewBlocksAreZeroFilledAndCounted) {
  UHandle first = DSNewHClr(64);
  UHandle second = DSNewHClr(0);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_NE(*first, nullptr);
  EXPECT_EQ(ztrtsimHandleSize(first), 64);
  EXPECT_EQ(ztrtsimHandleSize(second), 0);
  const auto* bytes = static_cast<const unsigned char*>(*first);
  EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 64), std::vector<unsigned char>(64, 0));
  EXPECT_EQ(ztrtsimLiveHandles(), 2);

  EXPECT_EQ(DSDisposeHandle(first), 0);
  EXPECT_EQ(DSDisposeHandle(second), 0);
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
  EXPECT_EQ(ztrtsimRejectedDisposals(), 0);
}

TEST_F(Handles, OversizedRequestGivesNull) {
  EXPECT_EQ(DSNewHClr(std::size_t{0x80000000}), nullptr);
  EXPECT_EQ(DSNewHClr(SIZE_MAX), nullptr);
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
}

// Disposal of anything the engine did not hand out is refused without touching it.
TEST_F(Handles, ForeignNullAndDoubleFreedHandlesAreRejected) {
  void* block = nullptr;
  UHandle foreign = &block;
  EXPECT_NE(DSDisposeHandle(foreign), 0);
  EXPECT_NE(DSDisposeHandle(nullptr), 0);

  UHandle handle = DSNewHClr(8);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(DSDisposeHandle(handle), 0);
  EXPECT_NE(DSDisposeHandle(handle), 0);
  EXPECT_EQ(ztrtsimRejectedDisposals(), 3);
  EXPECT_EQ(ztrtsimHandleSize(handle), -1);
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
}

TEST_F(Handles, FreedHandleIsNotReusedAtOnce) {
  UHandle old = DSNewHClr(8);
  ASSERT_EQ(DSDisposeHandle(old), 0);
  std::vector<UHandle> fresh;
  for (int i = 0; i < 100; ++i) fresh.push_back(DSNewHClr(8));
  for (UHandle handle : fresh) EXPECT_NE(handle, old);
  EXPECT_NE(DSDisposeHandle(old), 0);
  for (UHandle handle : fresh) EXPECT_EQ(DSDisposeHandle(handle), 0);
}

TEST_F(Handles, ResetFreesEverything) {
  ASSERT_NE(DSNewHClr(16), nullptr);
  ASSERT_EQ(ztrtsimSetTargetURL(1, "x", 1), 0);
  ZtVariantPtr element = nullptr;
  ASSERT_EQ(ZtVariantPStrSetUI32Attr(&element, FlagAttr(), 1), 0);
  ztrtsimReset();
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
  EXPECT_EQ(ztrtsimLiveVariants(), 0);
}

}  // namespace
}  // namespace ztrt_test
