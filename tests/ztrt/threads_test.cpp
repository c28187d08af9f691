#include <thread>
#include <vector>

#include "engine_test.h"

namespace ztrt_test {
namespace {

using Threads = EngineTest;

TEST_F(Threads, ConcurrentCallersShareOneConsistentEngine) {
  ASSERT_EQ(ztrtsimSetTargetURL(1, "rt://x", 6), 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) {
        LStrHandle url = nullptr;
        EXPECT_EQ(TargetURL(1, &url), 0);
        LStrHandle out = nullptr;
        EXPECT_EQ(ConvertUTF8StringToSystem(url, &out), 0);
        ZtVariantPtr element = nullptr;
        EXPECT_EQ(ZtVariantPStrSetStringAttr(&element, NameAttr(), out), 0);
        EXPECT_EQ(DSDisposeHandle(AsHandle(out)), 0);
        UHandle list = DSNewHClr(16);
        std::memcpy(static_cast<char*>(*list) + 8, &element, sizeof element);
        EXPECT_EQ(ztrtsimDisposeNameList(list), 0);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
  EXPECT_EQ(ztrtsimLiveVariants(), 0);
  EXPECT_EQ(ztrtsimCallCount(ZTRTSIM_FN_TARGET_URL), 800);
}

}  // namespace
}  // namespace ztrt_test
