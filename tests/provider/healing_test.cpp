// What the host sees when the library fails, and how its list comes back
// without a forced call. The host asks every 20 ms of the test's clock, and
// the work each request leaves to the pool is waited for before the clock
// moves on: minutes of a failing library take moments, and nothing sleeps
// for a back-off.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "fake_clock.h"
#include "kelsim.h"
#include "library_profiles.h"
#include "platform/work_pool.h"
#include "provider/registry.h"
#include "sim_engine.h"
#include "sim_library.h"
#include "tracked_work.h"
#include "wait_for.h"
#include "ztrtsim.h"

namespace {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;
using test_support::kelsim::ApplyChange;
using test_support::kelsim::ApplyChangeDuring;
using test_support::kelsim::ChangeProfile;
using test_support::kelsim::FailCall;
using test_support::kelsim::Load;

constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);
constexpr std::int64_t kHostPeriodMs = 20;

const char kDescription[] = R"({"targets": {"": {"records": [
  {"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"},
  {"status": 1, "modelCode": "0x78C7", "sourceNames": ["kelsyscfg"], "sourceResourceName": "system"}]}}})";
const Names kNames = {"Dev1", "sync://localhost/system"};
const Names kWithDev2 = {"Dev1", "Dev2", "sync://localhost/system"};
const char kAddDev2[] = R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"}]})";

using test_support::TrackedWork;

// What the host saw over a stretch of asking.
struct Seen {
  int calls = 0;
  int pending = 0;
  int written = 0;
  int unchanged = 0;
  int failed = 0;
};

class HealingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kelsimReset();
    ztrtsimReset();
    road::ApplyProfile(road::ProfileOfThisRun());
    Load(kDescription);
    test_support::ztrtsim::SetUrl(1, "");
    tracking_ = std::make_unique<test_support::TrackingWork>();
  }

  void TearDown() override {
    TrackedWork::Refuse(false);
    provider::ReleasingAppRef(1);
    Settle();
    tracking_.reset();
    test_support::kelsim::ExpectQuiet();
    EXPECT_EQ(ztrtsimLiveHandles(), 0);
    kelsimReset();
    ztrtsimReset();
  }

  // Until the plug-in's work and the library's callbacks have all ended,
  // including work that callbacks started.
  static void Settle() {
    ASSERT_TRUE(test_support::WaitFor(
        [] { return TrackedWork::Idle() && kelsimWaitIdle(0) == 1 && TrackedWork::Idle(); }))
        << "the plug-in's work never ended";
  }

  // One request as the host makes it; a written list becomes what it shows.
  std::int32_t Ask(std::int32_t force = 0) {
    hostbind::UHandle slot = nullptr;
    const std::int32_t result = provider::GetIOControlNames(1, &slot, force);
    ++seen.calls;
    switch (result) {
      case provider::kResultPending: ++seen.pending; break;
      case provider::kResultWritten: ++seen.written; break;
      case provider::kResultUnchanged: ++seen.unchanged; break;
      default: ++seen.failed; break;
    }
    if (slot != nullptr) {
      shown = test_support::ztrtsim::DecodeList(slot);
      EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);
      listShown = true;
    }
    return result;
  }

  // Asks every host period for `ms` of the test's clock.
  void AskFor(std::int64_t ms) {
    for (std::int64_t t = 0; t < ms; t += kHostPeriodMs) {
      Ask();
      Settle();
      clock.Advance(kHostPeriodMs);
    }
  }

  // Asks every host period until the host shows `expected`; the time it took, or -1.
  std::int64_t AskUntilShown(const Names& expected, std::int64_t withinMs) {
    for (std::int64_t t = 0; t <= withinMs; t += kHostPeriodMs) {
      Ask();
      Settle();
      if (listShown && shown == expected) return t;
      clock.Advance(kHostPeriodMs);
    }
    return -1;
  }

  static std::uint64_t Attempts() { return kelsimCallCount("kelsysInstantiateFramework2"); }

  kronel_test::FakeClock clock;
  std::unique_ptr<test_support::TrackingWork> tracking_;
  Seen seen;
  Names shown;
  bool listShown = false;
};

// No list comes before the hardware was read: while the first query is
// under way the host hears "pending", never an empty list.
TEST_F(HealingTest, NoListBeforeTheHardwareWasRead) {
  test_support::kelsim::SetLatency("FindHardware", 200);
  std::int32_t result;
  do {
    result = Ask();
    std::this_thread::sleep_for(1ms);
  } while (result == provider::kResultPending);
  EXPECT_EQ(result, provider::kResultWritten);
  EXPECT_EQ(shown, kNames);
  EXPECT_EQ(seen.written, 1);
  EXPECT_GT(seen.pending, 1);
}

// The library cannot make a framework for a while, then can: the host gets
// the empty list once the first attempt has failed, the attempts back off,
// and the list comes back by itself, registered, so a later change shows.
class FrameworksRefused : public HealingTest, public ::testing::WithParamInterface<std::int64_t> {};

TEST_P(FrameworksRefused, ListComesBackWhenTheLibraryCan) {
  const std::int64_t refusedMs = GetParam();
  FailCall("kelsysInstantiateFramework2", 0, kEFail);
  AskFor(refusedMs);
  EXPECT_TRUE(listShown);
  EXPECT_EQ(shown, Names{});
  // Back-off from 1 s, doubling: attempts at about 0, 1, 3, 7, 15, 31 s.
  EXPECT_LE(Attempts(), refusedMs <= 3000 ? 3u : 7u);
  EXPECT_GE(Attempts(), 2u);
  kelsimClearFailures();
  const std::int64_t healed = AskUntilShown(kNames, 72000);
  std::printf("frameworks refused %lld ms: %d calls, %llu attempts; healed %lld ms after\n",
              static_cast<long long>(refusedMs), seen.calls, static_cast<unsigned long long>(Attempts()),
              static_cast<long long>(healed));
  ASSERT_GE(healed, 0);
  EXPECT_EQ(seen.failed, 0);
  EXPECT_EQ(kelsimHasHandler(""), 1);
  ApplyChange("", kAddDev2);
  EXPECT_GE(AskUntilShown(kWithDev2, 100), 0);
}
INSTANTIATE_TEST_SUITE_P(ForAWhile, FrameworksRefused, ::testing::Values(3000, 60000));

// A library that takes no registration still gives the list at once, and a
// device added later shows within 5 s.
TEST_F(HealingTest, LibraryWithoutRegistrationsStillShowsChanges) {
  ChangeProfile(R"({"notifications": "unsupported"})");
  EXPECT_GE(AskUntilShown(kNames, 1000), 0);
  EXPECT_LE(seen.pending, 2);
  ApplyChange("", kAddDev2);
  const std::int64_t shownAfter = AskUntilShown(kWithDev2, 5000 + kHostPeriodMs);
  EXPECT_GE(shownAfter, 0);
  std::printf("without registrations: a change shown after %lld ms, %llu queries in all\n",
              static_cast<long long>(shownAfter), static_cast<unsigned long long>(kelsimCallCount("FindHardware")));
  EXPECT_EQ(Attempts(), 1u);
}

// FindHardware fails for a while: the host keeps its list, no retry comes
// before its back-off, and the change made meanwhile shows once the query
// works again.
TEST_F(HealingTest, QueryFailingForAWhileHeals) {
  ASSERT_GE(AskUntilShown(kNames, 1000), 0);
  FailCall("FindHardware", 0, kEFail);
  ApplyChange("", kAddDev2);
  Settle();
  const std::uint64_t submitted = TrackedWork::Submitted();
  AskFor(780);
  EXPECT_EQ(TrackedWork::Submitted(), submitted) << "a retry came before its back-off";
  AskFor(2000 - 780);
  EXPECT_EQ(shown, kNames);
  kelsimClearFailures();
  const std::int64_t healed = AskUntilShown(kWithDev2, 2 * 2400);
  std::printf("query failing 2 s: healed %lld ms after, %d calls\n", static_cast<long long>(healed), seen.calls);
  EXPECT_GE(healed, 0);
  EXPECT_EQ(seen.failed, 0);
}

// The library's service restarts: the frameworks made before answer
// RPC_E_DISCONNECTED and the registrations are gone, so a device added then
// is told to nobody. It shows once the last read is a minute old, read
// through a new framework that registers again; a forced request shows it at
// once.
class ServiceRestart : public HealingTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ServiceRestart, ListComesBackWithoutTheNotification) {
  const bool forced = GetParam();
  ASSERT_GE(AskUntilShown(kNames, 1000), 0);
  kelsimRestartService();
  ApplyChange("", kAddDev2);
  Settle();
  ASSERT_EQ(kelsimHasHandler(""), 0);
  std::int64_t healed;
  if (forced) {
    EXPECT_EQ(Ask(1), provider::kResultPending);
    Settle();
    healed = AskUntilShown(kWithDev2, 0);
  } else {
    healed = AskUntilShown(kWithDev2, 60000);
    EXPECT_GE(healed, 59000) << "read again before its minute";
  }
  std::printf("service restart%s: healed %lld ms after\n", forced ? ", forced" : "", static_cast<long long>(healed));
  ASSERT_GE(healed, 0);
  EXPECT_EQ(kelsimHasHandler(""), 1);
  EXPECT_EQ(seen.failed, 0);
  ApplyChange("", R"({"remove": ["Dev2"]})");
  EXPECT_GE(AskUntilShown(kNames, kHostPeriodMs), 0) << "the new registration brings no change";
}
INSTANTIATE_TEST_SUITE_P(, ServiceRestart, ::testing::Bool());

// A change that the library tells while the plug-in registers, and whose
// query then fails, still arrives with the retry.
TEST_F(HealingTest, ChangeToldWhileRegisteringSurvivesAFailedQuery) {
  ApplyChangeDuring("SetNotificationHandler", "", kAddDev2);
  FailCall("FindHardware", 1, kEFail);
  EXPECT_GE(AskUntilShown(kWithDev2, 1200 + kHostPeriodMs), 0);
}

// A registered cache reads again once its last read is a minute old, for a
// change the library never told; not before.
TEST_F(HealingTest, UntoldChangeShowsWithinAMinute) {
  ASSERT_GE(AskUntilShown(kNames, 1000), 0);
  const std::uint64_t reads = kelsimCallCount("FindHardware");
  Load(R"({"targets": {"": {"records": [
    {"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"},
    {"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"},
    {"status": 1, "modelCode": "0x78C7", "sourceNames": ["kelsyscfg"], "sourceResourceName": "system"}]}}})");
  AskFor(59000);
  EXPECT_EQ(kelsimCallCount("FindHardware"), reads);
  EXPECT_GE(AskUntilShown(kWithDev2, 2000), 0);
}

// Pool work refused: a forced request is answered 7 and leaves the cache
// stale, so the next request refreshes instead of answering "unchanged"; a
// refused background read costs the host nothing and backs off.
TEST_F(HealingTest, RefusedWorkIsAskedForAgain) {
  ASSERT_GE(AskUntilShown(kNames, 1000), 0);
  TrackedWork::Refuse(true);
  EXPECT_EQ(Ask(1), provider::kResultFailure);
  TrackedWork::Refuse(false);
  EXPECT_EQ(Ask(), provider::kResultPending);
  listShown = false;
  EXPECT_GE(AskUntilShown(kNames, 100), 0);

  clock.Advance(60000);
  TrackedWork::Refuse(true);
  EXPECT_EQ(Ask(), provider::kResultUnchanged);
  TrackedWork::Refuse(false);
  const std::uint64_t submitted = TrackedWork::Submitted();
  AskFor(780);
  EXPECT_EQ(TrackedWork::Submitted(), submitted);
  AskFor(440);
  EXPECT_EQ(TrackedWork::Submitted(), submitted + 1);
}

}  // namespace
