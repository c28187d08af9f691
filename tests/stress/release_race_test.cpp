#include <string>

#include "kelsim.h"
#include "library_profiles.h"
#include "road.h"
#include "ztrtsim.h"

namespace road {
namespace {

const char kDescription[] = R"({"targets": {"": {"records": [
  {"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"}]}}})";

using ReleaseRaceTest = RoadTest;
using test_support::kelsim::SetLatency;

// The cache dropped while its refresh runs ends after its successor has
// registered for the same target; its farewell must not silence the successor.
TEST_F(ReleaseRaceTest, DroppedCacheEndingLateKeepsTheNewCacheRegistered) {
  Load(kDescription);
  SetLatency("FindHardware", 300);
  hostbind::UHandle slot = nullptr;
  ASSERT_EQ(Call(1, &slot), kPending);
  ASSERT_TRUE(WaitFor([] { return kelsimCallCount("FindHardware") == 1; }));
  ThePlugin().ReleasingAppRef(1);
  SetLatency("FindHardware", 0);

  PollFor(1, Names{"Dev1"});
  ASSERT_EQ(kelsimHasHandler(""), 1);
  // Both walks over (two calls of Next each) and their records gone: the
  // frameworks of the two caches are all that is left.
  const std::uint64_t frameworks = SharesFrameworks(ProfileOfThisRun()) ? 1 : 2;
  ASSERT_TRUE(WaitFor([&] { return kelsimCallCount("Next") == 4 && kelsimLiveObjects() == frameworks; }))
      << "the first cache never ended";
  EXPECT_EQ(kelsimHasHandler(""), 1);

  ApplyChange("", R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"}]})");
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(kelsimDroppedNotifications(), 0u);
  PollFor(1, Names{"Dev1", "Dev2"});
}

// The last reference goes while a notification is starting a refresh of the
// cache, and that refresh ends at once: whichever thread lets go last, the
// cache must end unlocked and whole (ThreadSanitizer sees the difference).
TEST_F(ReleaseRaceTest, NotificationMeetingTheLastReleaseEndsTheCacheCleanly) {
  Load(kDescription);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int rounds = 0;
  for (; rounds < 500 && std::chrono::steady_clock::now() < deadline; ++rounds) {
    kelsimClearFailures();
    PollFor(1, Names{"Dev1"});
    test_support::kelsim::FailCall("FindHardware", 0, kEFail);
    if (HasFatalFailure()) return;
    ApplyChange("", R"({"replace": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"}]})");
    ThePlugin().ReleasingAppRef(1);
    ASSERT_TRUE(WaitFor([] { return kelsimLiveObjects() == 0; }));
  }
  EXPECT_GT(rounds, 10);
}

}  // namespace
}  // namespace road
