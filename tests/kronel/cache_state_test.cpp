#include "cache_fixture.h"
#include "kelsim.h"

namespace kronel_test {
namespace {

using Names = std::vector<std::string>;

constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);
const char kOneDevice[] = R"([{"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"}])";

void WaitUntil(bool (*condition)(const Cache&), const Cache& cache) {
  ASSERT_TRUE(WaitFor([&] { return condition(cache); })) << "condition never held";
}

bool WorkerBegan(const Cache& cache) { return Access::UpToDateFlag(cache); }

TEST_F(CacheTest, NewCacheIsStaleAndEmptyAndCallsNothing) {
  Load(LocalTarget(kOneDevice));
  {
    auto cache = MakeCache();
    EXPECT_FALSE(cache->IsUpToDate());
    EXPECT_FALSE(cache->IsRefreshing());
    EXPECT_EQ(cache->GetVersion(), 100u);
    EXPECT_TRUE(cache->CopyNames().empty());
  }
  EXPECT_EQ(kelsimCallCount("kelsysInstantiateFramework2"), 0u);
  EXPECT_EQ(kelsimCallCount("SetNotificationHandler"), 0u);
}

// The first refresh connects and registers; later ones reuse both, and the
// cache unregisters when it goes.
TEST_F(CacheTest, ConnectsAndRegistersOnceAndUnregistersAtTheEnd) {
  Load(LocalTarget(kOneDevice));
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  RefreshAndWait(*cache);
  EXPECT_EQ(cache->GetVersion(), 102u);
  EXPECT_EQ(kelsimCallCount("kelsysInstantiateFramework2"), 1u);
  EXPECT_EQ(kelsimCallCount("SetNotificationHandler"), 1u);
  EXPECT_EQ(kelsimHasHandler(""), 1);
  cache.reset();
  // The worker lets go of its share just after it ends.
  ASSERT_TRUE(WaitForNoLiveObjects());
  EXPECT_EQ(kelsimHasHandler(""), 0);
  EXPECT_EQ(kelsimCallCount("SetNotificationHandler"), 2u);
}

// A host that found the cache stale just before its refresh began leaves
// that refresh alone: marking it stale would undo its start, and a host
// that keeps asking could be told to wait for ever.
TEST_F(CacheTest, RefreshIfIdleLeavesABegunRefreshCurrent) {
  Load(LocalTarget(kOneDevice));
  SetLatency("FindHardware", 200);
  auto cache = MakeCache();
  ASSERT_FALSE(cache->IsUpToDate());
  cache->RequestRefresh();
  WaitUntil(&WorkerBegan, *cache);
  cache->RefreshIfIdle();
  WaitUntilIdle(*cache);
  EXPECT_TRUE(cache->IsUpToDate());
  EXPECT_EQ(cache->GetVersion(), 101u);
  EXPECT_EQ(kelsimCallCount("FindHardware"), 1u);
}

TEST_F(CacheTest, RequestDuringARefreshMarksTheCacheStale) {
  Load(LocalTarget(kOneDevice));
  SetLatency("FindHardware", 200);
  auto cache = MakeCache();
  cache->RequestRefresh();
  WaitUntil(WorkerBegan, *cache);
  cache->RequestRefresh();
  EXPECT_FALSE(cache->IsUpToDate());
  WaitUntilIdle(*cache);
  EXPECT_EQ(kelsimCallCount("FindHardware"), 1u);
  EXPECT_EQ(cache->GetVersion(), 101u);
  EXPECT_EQ(cache->CopyNames(), Names{"Dev1"});
  EXPECT_FALSE(cache->IsUpToDate());

  RefreshAndWait(*cache);
  EXPECT_EQ(cache->GetVersion(), 102u);
  EXPECT_TRUE(cache->IsUpToDate());
}

// A change notified while a refresh runs lets that refresh finish, and leaves
// the cache stale so that the change is picked up next.
TEST_F(CacheTest, NotificationDuringARefreshLeavesTheCacheStale) {
  Load(LocalTarget(kOneDevice));
  SetLatency("FindHardware", 200);
  auto cache = MakeCache();
  cache->RequestRefresh();
  WaitUntil([](const Cache&) { return kelsimHasHandler("") == 1; }, *cache);
  ApplyChange("", R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"}]})");
  ASSERT_EQ(kelsimWaitIdle(20000), 1);
  EXPECT_FALSE(cache->IsUpToDate());
  WaitUntilIdle(*cache);
  EXPECT_EQ(cache->GetVersion(), 101u);
  EXPECT_FALSE(cache->IsUpToDate());

  SetLatency("FindHardware", 0);
  RefreshAndWait(*cache);
  EXPECT_EQ(cache->CopyNames(), (Names{"Dev1", "Dev2"}));
}

TEST_F(CacheTest, NotificationRefreshesAnIdleCache) {
  Load(LocalTarget(kOneDevice));
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  ApplyChange("", R"({"replace": [{"status": 1, "modelCode": "0x7066", "resourceName": "Fresh"}]})");
  ASSERT_EQ(kelsimWaitIdle(20000), 1);
  EXPECT_EQ(kelsimLastHandlerResult(), 0);
  WaitUntil([](const Cache& c) { return const_cast<Cache&>(c).GetVersion() == 102u; }, *cache);
  WaitUntilIdle(*cache);
  EXPECT_EQ(cache->CopyNames(), Names{"Fresh"});
}

TEST_F(CacheTest, VersionWrapsAround) {
  Load(LocalTarget(kOneDevice));
  auto cache = MakeCache();
  Access::SetVersion(*cache, 0xFFFFFFFFu);
  RefreshAndWait(*cache);
  EXPECT_EQ(cache->GetVersion(), 0u);
}

// Failures of the library leave the old names and version, and the cache up
// to date: the host keeps its list while the failure is retried. A forced
// refresh tries again at once.
TEST_F(CacheTest, FailedConnectionIsRetriedByAForcedRefreshAtOnce) {
  Load(LocalTarget(kOneDevice));
  FailCall("kelsysInstantiateFramework2", 0, kFail);
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  EXPECT_FALSE(Access::HasFramework(*cache));
  EXPECT_TRUE(cache->IsUpToDate());
  EXPECT_EQ(cache->GetVersion(), 100u);

  kelsimClearFailures();
  RefreshAndWait(*cache);
  EXPECT_EQ(kelsimCallCount("kelsysInstantiateFramework2"), 2u);
  EXPECT_EQ(cache->CopyNames(), Names{"Dev1"});
}

// A refused registration does not stop the read; the framework stays for
// the attempt that its back-off allows, which registers through it.
TEST_F(CacheTest, RefusedRegistrationStillReadsAndTheNextRefreshRegisters) {
  Load(LocalTarget(kOneDevice));
  FailCall("SetNotificationHandler", 1, kFail);
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  EXPECT_TRUE(Access::HasFramework(*cache));
  EXPECT_TRUE(cache->IsUpToDate());
  EXPECT_EQ(cache->GetVersion(), 101u);
  EXPECT_EQ(cache->CopyNames(), Names{"Dev1"});
  EXPECT_EQ(kelsimHasHandler(""), 0);

  EXPECT_TRUE(AskAfter(*cache, 1201));
  EXPECT_EQ(kelsimCallCount("SetNotificationHandler"), 2u);
  EXPECT_EQ(kelsimCallCount("kelsysInstantiateFramework2"), 1u);
  EXPECT_EQ(kelsimHasHandler(""), 1);
  ApplyChange("", R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"}]})");
  EXPECT_TRUE(WaitFor([&] { return cache->CopyNames() == Names{"Dev1", "Dev2"}; }));
}

TEST_F(CacheTest, FailedReadOnTheLastRecordKeepsThePreviousList) {
  Load(LocalTarget(kOneDevice));
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  Load(LocalTarget(R"([
    {"status": 1, "modelCode": "0x7066", "resourceName": "New1"},
    {"status": 1, "modelCode": "0x7066", "resourceName": "New2"},
    {"status": 1, "modelCode": "0x7066", "resourceName": {"value": "Bad", "readFailure": "0x80004005"}}])"));
  RefreshAndWait(*cache);
  EXPECT_EQ(cache->CopyNames(), Names{"Dev1"});
  EXPECT_EQ(cache->GetVersion(), 101u);
  EXPECT_TRUE(cache->IsUpToDate());
}

// The failed framework goes back, and so does the new one tried after it.
// The registration stays for the changes it can still bring: here the
// library works again, and the next change brings it all.
TEST_F(CacheTest, FailedHardwareQueryKeepsThePreviousList) {
  Load(LocalTarget(kOneDevice));
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  FailCall("FindHardware", 0, kFail);
  RefreshAndWait(*cache);
  EXPECT_EQ(cache->CopyNames(), Names{"Dev1"});
  EXPECT_EQ(cache->GetVersion(), 101u);
  EXPECT_TRUE(cache->IsUpToDate());
  EXPECT_FALSE(Access::HasFramework(*cache));
  EXPECT_EQ(kelsimCallCount("kelsysInstantiateFramework2"), 2u);
  EXPECT_EQ(kelsimHasHandler(""), 1);

  kelsimClearFailures();
  ApplyChange("", R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"}]})");
  EXPECT_TRUE(WaitFor([&] { return cache->CopyNames() == Names{"Dev1", "Dev2"}; }));
  WaitUntilIdle(*cache);
  EXPECT_EQ(kelsimRegistrations(), 1u);
}

// A source index past the library's limit fails like a library error.
TEST_F(CacheTest, SourceIndexPastTheLimitFailsTheRefresh) {
  Load(LocalTarget(R"([{"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["a"],
    "sourceCount": 5000, "properties": {"0x101EFFF": {"type": "string", "value": "x"}}}])"));
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  EXPECT_TRUE(cache->IsUpToDate());
  EXPECT_EQ(cache->GetVersion(), 100u);
}

// The owners may let go while the worker runs: the worker keeps the cache
// alive, and the cache unregisters once the worker is done.
TEST_F(CacheTest, DroppingACacheWhileItsWorkerRunsIsSafe) {
  Load(LocalTarget(kOneDevice));
  SetLatency("FindHardware", 100);
  auto cache = MakeCache();
  cache->RequestRefresh();
  WaitUntil([](const Cache&) { return kelsimHasHandler("") == 1; }, *cache);
  cache.reset();
  ASSERT_TRUE(WaitForNoLiveObjects());
  EXPECT_EQ(kelsimHasHandler(""), 0);
  EXPECT_EQ(kelsimCallCount("FindHardware"), 1u);
}

}  // namespace
}  // namespace kronel_test

namespace kronel_test {
namespace {

// Two caches of one target (the older dropped, its worker still running):
// one registration serves both, and the newer keeps receiving changes
// whichever refreshed first; nothing is left once both have gone.
TEST_F(CacheTest, OlderCacheOfATargetNeverSilencesTheNewer) {
  Load(LocalTarget(kOneDevice));
  Names expected = {"Dev1"};
  for (bool olderFirst : {false, true}) {
    SCOPED_TRACE(olderFirst ? "older refreshed first" : "newer refreshed first");
    auto older = MakeCache();
    auto newer = MakeCache();
    RefreshAndWait(olderFirst ? *older : *newer);
    RefreshAndWait(olderFirst ? *newer : *older);
    EXPECT_EQ(kelsimRegistrations(), 1u);
    older.reset();
    EXPECT_EQ(kelsimHasHandler(""), 1);

    const std::string name = olderFirst ? "Dev3" : "Dev2";
    ApplyChange("", R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": ")" + name + R"("}]})");
    expected.push_back(name);
    ASSERT_EQ(kelsimWaitIdle(20000), 1);
    EXPECT_EQ(kelsimDroppedNotifications(), 0u);
    WaitUntil([](const Cache& c) { return const_cast<Cache&>(c).GetVersion() >= 102u; }, *newer);
    WaitUntilIdle(*newer);
    EXPECT_EQ(newer->CopyNames(), expected);

    newer.reset();
    ASSERT_TRUE(WaitForNoLiveObjects());
    ASSERT_EQ(kelsimWaitIdle(20000), 1);
    EXPECT_EQ(kelsimRegistrations(), 0u);
    EXPECT_EQ(kelsimHandlerReferences(), 0u);
  }
}

}  // namespace
}  // namespace kronel_test
