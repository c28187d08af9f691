#include "engine_test.h"

namespace ztrt_test {
namespace {

using TargetUrls = EngineTest;

TEST_F(TargetUrls, AnswersFromTheTable) {
  ASSERT_EQ(ztrtsimSetTargetURL(1, "rt://a", 6), 0);
  ASSERT_EQ(ztrtsimSetTargetURLNull(2), 0);
  ASSERT_EQ(ztrtsimSetTargetURLFailure(3, 42), 0);

  LStrHandle url = nullptr;
  ASSERT_EQ(TargetURL(1, &url), 0);
  ASSERT_NE(url, nullptr);
  EXPECT_EQ(Bytes(url), "rt://a");

  LStrHandle none = reinterpret_cast<LStrHandle>(0x1);
  EXPECT_EQ(TargetURL(2, &none), 0);
  EXPECT_EQ(none, nullptr);

  LStrHandle untouched = nullptr;
  EXPECT_EQ(TargetURL(3, &untouched), 42);
  EXPECT_EQ(TargetURL(4, &untouched), ZTRTSIM_ERR_APP_REF);
  EXPECT_EQ(untouched, nullptr);
  EXPECT_NE(TargetURL(1, nullptr), 0);
}

// URL handles stay the engine's: callers cannot free them and they are not
// counted among the callers' live handles.
TEST_F(TargetUrls, UrlHandlesBelongToTheEngine) {
  ASSERT_EQ(ztrtsimSetTargetURL(1, "", 0), 0);
  LStrHandle url = nullptr;
  ASSERT_EQ(TargetURL(1, &url), 0);
  ASSERT_NE(url, nullptr);
  EXPECT_EQ((*url)->cnt, 0);
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
  EXPECT_NE(DSDisposeHandle(AsHandle(url)), 0);
  EXPECT_EQ(ztrtsimRejectedDisposals(), 1);
  EXPECT_EQ(ztrtsimHandleSize(url), 4);
}

TEST_F(TargetUrls, ReplacedUrlStaysReadable) {
  ASSERT_EQ(ztrtsimSetTargetURL(1, "old", 3), 0);
  LStrHandle before = nullptr;
  ASSERT_EQ(TargetURL(1, &before), 0);
  ASSERT_EQ(ztrtsimSetTargetURL(1, std::string("n\0w", 3).c_str(), 3), 0);
  LStrHandle after = nullptr;
  ASSERT_EQ(TargetURL(1, &after), 0);
  EXPECT_EQ(Bytes(before), "old");
  EXPECT_EQ(Bytes(after), std::string("n\0w", 3));

  ASSERT_EQ(ztrtsimRemoveTargetURL(1), 0);
  EXPECT_EQ(TargetURL(1, &after), ZTRTSIM_ERR_APP_REF);
  EXPECT_EQ(ztrtsimRemoveTargetURL(1), ZTRTSIM_ERR_APP_REF);
}

}  // namespace
}  // namespace ztrt_test
