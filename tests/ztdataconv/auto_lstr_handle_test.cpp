#include "ztdataconv/auto_lstr_handle.h"

#include "host_test.h"

namespace ztdataconv {
namespace {

using AutoLStrHandleTest = HostTest;

TEST_F(AutoLStrHandleTest, ReleasesWhatWasStoredInItsSlot) {
  {
    AutoLStrHandle holder;
    const unsigned char bytes[] = {'a', 'b'};
    ASSERT_EQ(hostbind::LStrFromPtr(&holder.Slot(), 2, bytes), 0);
    ASSERT_NE(holder.Get(), nullptr);
    EXPECT_EQ(ztrtsimLiveHandles(), 1);
  }
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
  EXPECT_EQ(Calls(ZTRTSIM_FN_DS_DISPOSE_HANDLE), 1);
  EXPECT_EQ(ztrtsimRejectedDisposals(), 0);
}

TEST_F(AutoLStrHandleTest, EmptyOrDetachedHolderReleasesNothing) {
  hostbind::LStrHandle kept = nullptr;
  {
    AutoLStrHandle empty;
    AutoLStrHandle holder;
    ASSERT_EQ(hostbind::LStrFromPtr(&holder.Slot(), 0, nullptr), 0);
    kept = holder.Detach();
    EXPECT_EQ(holder.Get(), nullptr);
  }
  EXPECT_EQ(Calls(ZTRTSIM_FN_DS_DISPOSE_HANDLE), 0);
  EXPECT_EQ(ztrtsimHandleSize(kept), 4);
  EXPECT_EQ(hostbind::DSDisposeHandle(reinterpret_cast<hostbind::UHandle>(kept)), 0);
}

}  // namespace
}  // namespace ztdataconv
