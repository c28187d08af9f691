#include "engine_test.h"

namespace ztrt_test {
namespace {

using Faults = EngineTest;

TEST_F(Faults, NthCallFailsOnceAndCallsAreCounted) {
  ASSERT_EQ(ztrtsimFailCall(ZTRTSIM_FN_DS_NEW_H_CLR, 2, 0), 0);
  UHandle first = DSNewHClr(4);
  UHandle second = DSNewHClr(4);
  UHandle third = DSNewHClr(4);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);
  EXPECT_EQ(ztrtsimCallCount(ZTRTSIM_FN_DS_NEW_H_CLR), 3);
  EXPECT_EQ(ztrtsimLiveHandles(), 2);
  EXPECT_EQ(DSDisposeHandle(first), 0);
  EXPECT_EQ(DSDisposeHandle(third), 0);
  EXPECT_EQ(ztrtsimCallCount(ZTRTSIM_FN_DS_DISPOSE_HANDLE), 2);
}

TEST_F(Faults, EveryCallFailsUntilCleared) {
  ASSERT_EQ(ztrtsimFailCall(ZTRTSIM_FN_LSTR_FROM_PTR, 0, 77), 0);
  LStrHandle handle = nullptr;
  const unsigned char byte = 'a';
  EXPECT_EQ(LStrFromPtr(&handle, 1, &byte), 77);
  EXPECT_EQ(LStrFromPtr(&handle, 1, &byte), 77);
  EXPECT_EQ(handle, nullptr);
  ztrtsimClearFailures();
  EXPECT_EQ(LStrFromPtr(&handle, 1, &byte), 0);
  EXPECT_EQ(DSDisposeHandle(AsHandle(handle)), 0);
}

// A failing call changes nothing: no output, no variant, nothing freed.
TEST_F(Faults, FailingCallsLeaveStateAlone) {
  ASSERT_EQ(ztrtsimSetTargetURL(9, "u", 1), 0);
  for (int function : {ZTRTSIM_FN_TARGET_URL, ZTRTSIM_FN_SET_STRING_ATTR, ZTRTSIM_FN_SET_UI32_ATTR,
                       ZTRTSIM_FN_CONVERT_UTF8_TO_SYSTEM, ZTRTSIM_FN_DS_DISPOSE_HANDLE}) {
    ASSERT_EQ(ztrtsimFailCall(function, 1, 0), 0);
  }
  LStrHandle text = MakeString("t");
  LStrHandle out = nullptr;
  ZtVariantPtr element = nullptr;
  EXPECT_EQ(TargetURL(9, &out), ZTRTSIM_ERR_INJECTED);
  EXPECT_EQ(ZtVariantPStrSetStringAttr(&element, NameAttr(), text), ZTRTSIM_ERR_INJECTED);
  EXPECT_EQ(ZtVariantPStrSetUI32Attr(&element, FlagAttr(), 1), ZTRTSIM_ERR_INJECTED);
  EXPECT_EQ(ConvertUTF8StringToSystem(text, &out), ZTRTSIM_ERR_INJECTED);
  EXPECT_EQ(DSDisposeHandle(AsHandle(text)), ZTRTSIM_ERR_INJECTED);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(element, nullptr);
  EXPECT_EQ(ztrtsimLiveVariants(), 0);
  EXPECT_EQ(ztrtsimLiveHandles(), 1);
  EXPECT_EQ(ztrtsimRejectedDisposals(), 0);
  EXPECT_EQ(DSDisposeHandle(AsHandle(text)), 0);
}

TEST_F(Faults, ResetClearsPlansAndCounts) {
  ASSERT_EQ(ztrtsimFailCall(ZTRTSIM_FN_DS_NEW_H_CLR, 0, 0), 0);
  EXPECT_EQ(DSNewHClr(1), nullptr);
  ztrtsimReset();
  EXPECT_EQ(ztrtsimCallCount(ZTRTSIM_FN_DS_NEW_H_CLR), 0);
  UHandle handle = DSNewHClr(1);
  EXPECT_NE(handle, nullptr);
  EXPECT_EQ(DSDisposeHandle(handle), 0);
}

}  // namespace
}  // namespace ztrt_test
