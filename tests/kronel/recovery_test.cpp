// Whatever fails is tried again once its back-off has passed, on a request;
// time is the test's clock, never a wait.
#include <algorithm>
#include <cstdint>
#include <string>

#include <boost/thread/exceptions.hpp>

#include "cache_fixture.h"
#include "kelsim.h"
#include "platform/work_pool.h"

namespace kronel_test {
namespace {

using Names = std::vector<std::string>;
using test_support::kelsim::FailRun;

constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);
constexpr std::int32_t kNotImplemented = static_cast<std::int32_t>(0x80004001u);
const char kOneDevice[] = R"([{"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"}])";
const char kTwoDevices[] = R"([{"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"},
                               {"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"}])";

// The wait after n failures in a row, before its jitter of 20 %.
std::int64_t NominalDelay(int failures) { return std::min<std::int64_t>(1000ll << (failures - 1), 60000); }

std::uint64_t Frameworks() { return kelsimCallCount("kelsysInstantiateFramework2"); }
std::uint64_t Reads() { return kelsimCallCount("FindHardware"); }

bool RefuseWork(platform::WorkEntry, void*) noexcept { return false; }

class RetryTest : public CacheTest, public ::testing::WithParamInterface<const char*> {};

// Each attempt makes a new framework, the failed one having gone back; the
// next comes neither before its back-off nor much after it, and a success
// starts the back-off again from a second.
TEST_P(RetryTest, FailureIsRetriedOnABackOffThatDoublesToAMinute) {
  Load(LocalTarget(kOneDevice));
  FailCall(GetParam(), 0, kFail);
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  EXPECT_TRUE(cache->IsUpToDate());
  EXPECT_EQ(cache->GetVersion(), 100u);
  EXPECT_FALSE(Access::HasFramework(*cache));
  for (int failures = 1; failures <= 8; ++failures) {
    SCOPED_TRACE("after failure " + std::to_string(failures));
    const std::int64_t nominal = NominalDelay(failures);
    const std::uint64_t attempts = Frameworks();
    EXPECT_FALSE(AskAfter(*cache, nominal * 8 / 10 - 1));
    EXPECT_TRUE(AskAfter(*cache, nominal * 4 / 10 + 2));
    EXPECT_EQ(Frameworks(), attempts + 1);
    EXPECT_EQ(cache->GetVersion(), 100u);
    EXPECT_TRUE(cache->IsUpToDate());
  }
  kelsimClearFailures();
  EXPECT_TRUE(AskAfter(*cache, 72001));
  EXPECT_EQ(cache->CopyNames(), Names{"Dev1"});
  EXPECT_EQ(kelsimHasHandler(""), 1);

  // Through the framework that worked, then a new one at once: both fail.
  FailCall("FindHardware", 0, kFail);
  const std::uint64_t frameworks = Frameworks();
  EXPECT_TRUE(AskAfter(*cache, 60000));
  EXPECT_EQ(Frameworks(), frameworks + 1);
  EXPECT_EQ(cache->CopyNames(), Names{"Dev1"});
  EXPECT_FALSE(AskAfter(*cache, 799));
  EXPECT_TRUE(AskAfter(*cache, 402));
  kelsimClearFailures();
  EXPECT_TRUE(AskAfter(*cache, 2401));
  EXPECT_EQ(cache->GetVersion(), 102u);
}

INSTANTIATE_TEST_SUITE_P(EachFailingStep, RetryTest,
                         ::testing::Values("kelsysInstantiateFramework2", "FindHardware", "Next",
                                           "GetString"));

// A target the library's text cannot hold fails every read, and backs off
// like any failure instead of asking again on every request.
TEST_F(CacheTest, TargetThatCannotBeConvertedBacksOff) {
  Load(LocalTarget(kOneDevice));
  auto cache = MakeCache("\xFF not UTF-8");
  RefreshAndWait(*cache);
  EXPECT_TRUE(cache->IsUpToDate());
  EXPECT_EQ(cache->GetVersion(), 100u);
  EXPECT_FALSE(Access::HasFramework(*cache));
  EXPECT_FALSE(AskAfter(*cache, 799));
  EXPECT_TRUE(AskAfter(*cache, 402));
  EXPECT_EQ(Frameworks(), 2u);
}

// A library that takes no registration still gives its list. The cache
// reads again whenever its last read is 5 s old, keeps its framework, and
// tries to register on its own back-off; once the library takes it, changes
// are heard again.
TEST_F(CacheTest, CacheWithoutARegistrationReadsEveryFewSeconds) {
  Load(LocalTarget(kOneDevice));
  FailCall("SetNotificationHandler", 0, kNotImplemented);
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  EXPECT_EQ(cache->CopyNames(), Names{"Dev1"});
  EXPECT_EQ(kelsimHasHandler(""), 0);

  const std::uint64_t reads = Reads();
  const std::uint64_t registrations = kelsimCallCount("SetNotificationHandler");
  std::int64_t sinceRead = 0;
  std::int64_t longestGap = 0;
  for (int step = 0; step < 1200; ++step) {  // two minutes, a request every 100 ms
    const std::uint64_t before = Reads();
    AskAfter(*cache, 100);
    sinceRead += 100;
    if (Reads() != before) {
      longestGap = std::max(longestGap, sinceRead);
      sinceRead = 0;
    }
  }
  EXPECT_LE(longestGap, 5000);
  EXPECT_GE(Reads() - reads, 24u);
  // Tried at about 1, 3, 7, 15, 31, 63 and 123 s.
  const std::uint64_t tried = kelsimCallCount("SetNotificationHandler") - registrations;
  EXPECT_GE(tried, 5u);
  EXPECT_LE(tried, 7u);
  EXPECT_EQ(Frameworks(), 1u);

  kelsimClearFailures();
  for (int step = 0; step < 80 && kelsimHasHandler("") == 0; ++step) AskAfter(*cache, 1000);
  ASSERT_EQ(kelsimHasHandler(""), 1);
  EXPECT_EQ(Frameworks(), 1u);
  ApplyChange("", R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"}]})");
  ASSERT_EQ(kelsimWaitIdle(20000), 1);
  WaitUntilIdle(*cache);
  EXPECT_EQ(cache->CopyNames(), (Names{"Dev1", "Dev2"}));
}

// A registered cache still reads again a minute after its last read, for
// a change the library never told: the minute counts from the last read,
// a notified one too.
TEST_F(CacheTest, RegisteredCacheReadsAgainAMinuteAfterItsLastRead) {
  Load(LocalTarget(kOneDevice));
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  ASSERT_EQ(kelsimHasHandler(""), 1);
  EXPECT_FALSE(AskAfter(*cache, 59999));
  Load(LocalTarget(kTwoDevices));  // replaced without a word to anyone
  EXPECT_TRUE(AskAfter(*cache, 1));
  EXPECT_EQ(cache->CopyNames(), (Names{"Dev1", "Dev2"}));

  EXPECT_FALSE(AskAfter(*cache, 30000));
  ApplyChange("", R"({"remove": ["Dev2"]})");
  ASSERT_EQ(kelsimWaitIdle(20000), 1);
  WaitUntilIdle(*cache);
  ASSERT_EQ(cache->GetVersion(), 103u);
  EXPECT_FALSE(AskAfter(*cache, 59999));
  EXPECT_TRUE(AskAfter(*cache, 1));
  EXPECT_EQ(Frameworks(), 1u);
}

// Work the pool refuses costs the host nothing: the read is due again after
// a back-off, and the cache answers meanwhile.
TEST_F(CacheTest, RefusedBackgroundReadBacksOff) {
  Load(LocalTarget(kOneDevice));
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  clock.Advance(60000);
  const platform::WorkSubmitter pool = platform::ReplaceWorkSubmitter(&RefuseWork);
  cache->RefreshIfDue();
  platform::ReplaceWorkSubmitter(pool);
  EXPECT_FALSE(cache->IsRefreshing());
  EXPECT_TRUE(cache->IsUpToDate());
  EXPECT_FALSE(AskAfter(*cache, 799));
  EXPECT_TRUE(AskAfter(*cache, 402));
  EXPECT_EQ(Reads(), 2u);
}

// A request the host forced, refused by the pool, leaves the cache stale:
// the next request asks again instead of answering "unchanged".
TEST_F(CacheTest, RefusedForcedRequestLeavesTheCacheStale) {
  Load(LocalTarget(kOneDevice));
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  ASSERT_TRUE(cache->IsUpToDate());
  const platform::WorkSubmitter pool = platform::ReplaceWorkSubmitter(&RefuseWork);
  EXPECT_THROW(cache->RequestRefresh(), boost::thread_resource_error);
  platform::ReplaceWorkSubmitter(pool);
  EXPECT_FALSE(cache->IsRefreshing());
  EXPECT_FALSE(cache->IsUpToDate());
  RefreshAndWait(*cache);
  EXPECT_TRUE(cache->IsUpToDate());
  EXPECT_EQ(cache->GetVersion(), 102u);
}

// Two caches of one target, the older having made the one registration
// that serves both. Whatever becomes of it, through a restart or through
// the older, the newer hears of the next change.
enum class Loss { kServiceRestart, kOlderReadFails, kOlderReplacementRefused };

class LostRegistrationTest : public CacheTest, public ::testing::WithParamInterface<Loss> {};

TEST_P(LostRegistrationTest, NewerCacheHearsTheNextChange) {
  Load(LocalTarget(kOneDevice));
  auto older = MakeCache();
  auto newer = MakeCache();
  RefreshAndWait(*older);
  RefreshAndWait(*newer);
  ASSERT_EQ(kelsimRegistrations(), 1u);
  const std::uint32_t newerVersion = newer->GetVersion();
  if (GetParam() == Loss::kServiceRestart) {
    // The newer's framework fails first, not the one that registered.
    kelsimRestartService();
    RefreshAndWait(*newer);
  } else {
    FailRun("FindHardware", 1, kFail);
    // The removal of the given-up registration comes first.
    if (GetParam() == Loss::kOlderReplacementRefused) FailCall("SetNotificationHandler", 2, kFail);
    RefreshAndWait(*older);
    // Told that the registration it relied on was given up, it reads again.
    ASSERT_TRUE(WaitFor([&] { return newer->GetVersion() > newerVersion; })) << "the newer was never told";
    WaitUntilIdle(*newer);
  }
  EXPECT_EQ(kelsimRegistrations(), 1u);
  ApplyChange("", R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"}]})");
  EXPECT_TRUE(WaitFor([&] {
    return newer->CopyNames() == Names{"Dev1", "Dev2"};
  })) << "the change never came";
  WaitUntilIdle(*newer);
}

INSTANTIATE_TEST_SUITE_P(EachWay, LostRegistrationTest,
                         ::testing::Values(Loss::kServiceRestart, Loss::kOlderReadFails,
                                           Loss::kOlderReplacementRefused),
                         [](const ::testing::TestParamInfo<Loss>& info) {
                           switch (info.param) {
                             case Loss::kServiceRestart:
                               return std::string("ServiceRestart");
                             case Loss::kOlderReadFails:
                               return std::string("OlderReadFails");
                             default:
                               return std::string("OlderReplacementRefused");
                           }
                         });

}  // namespace
}  // namespace kronel_test
