// Each host call is made while another thread sits in a module's DllMain,
// holding the loader lock until the test lets it go. A call that waits for
// that lock returns only when the holder's watchdog lets it go, 20 s later,
// and fails.
#include <cstdint>
#include <string>

#include "kelsim.h"
#include "loader_lock_holder.h"
#include "road.h"
#include "ztrtsim.h"

namespace road {
namespace {

const char kTwoTargets[] = R"({"targets": {
  "": {"records": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"}]},
  "rt-far": {"records": [{"status": 1, "modelCode": "0x7065", "resourceName": "Far1"}]}}})";
const char kAddDev2[] = R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"}]})";
const char kAddDev3[] = R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev3"}]})";

class LoaderLockTest : public RoadTest {
 protected:
  void SetUp() override {
    RoadTest::SetUp();
    Load(kTwoTargets);
    SetUrl(2, "rt-far");
    // Every host function resolved, and the local target registered for changes.
    PollFor(1, Names{"Dev1"});
  }

  void TearDown() override {
    EXPECT_TRUE(holder_.Finish()) << "the holder's module did not load";
    RoadTest::TearDown();
  }

  void Hold() { ASSERT_TRUE(holder_.Hold()) << "no thread got into the holder's DllMain"; }

  template <class Call>
  void ExpectReturnsWhileHeld(const char* what, Call call) {
    EXPECT_TRUE(holder_.ReturnsWhileHeld(call)) << what << " waited for the loader lock";
  }

  test_support::LoaderLockHolder holder_;
};

// A new cache and its worker, and a worker for a forced refresh; the setters too.
TEST_F(LoaderLockTest, CallsThatStartARefresh) {
  // Looked up before: GetModuleHandle takes the loader lock.
  const platform::ModuleHandle engine = platform::GetModuleHandleA("ztrt.dll");
  Hold();
  hostbind::UHandle slot = nullptr;
  ExpectReturnsWhileHeld("the first request of a target", [&] { EXPECT_EQ(Call(2, &slot), kPending); });
  ExpectReturnsWhileHeld("a forced refresh", [&] { EXPECT_EQ(Call(1, &slot, 1), kPending); });
  ExpectReturnsWhileHeld("the setters", [&] {
    ThePlugin().SetZTRTTLSIndex(0xFFFFFFFFu);
    ThePlugin().SetZTRTModule(engine);
  });
  EXPECT_EQ(slot, nullptr);
  holder_.Release();
  PollFor(2, Names{"Far1"});
  PollFor(1, Names{"Dev1"});
}

// The list a notification's refresh made, and a request on a change told
// while the lock is held: inline on this thread, or queued for a library
// thread that cannot start yet.
TEST_F(LoaderLockTest, RequestsAfterANotification) {
  ApplyChange("", kAddDev2);
  // Without a slot, a list that is due stays due and the answer is a failure.
  ASSERT_TRUE(WaitFor([] { return Call(1, nullptr) == kFailure; })) << "the change's list never fell due";
  Hold();
  hostbind::UHandle slot = nullptr;
  ExpectReturnsWhileHeld("a request that writes the new list", [&] { EXPECT_EQ(Call(1, &slot), kWritten); });
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(DecodeList(slot), (Names{"Dev1", "Dev2"}));
  ztrtsimDisposeNameList(slot);
  ExpectReturnsWhileHeld("a change told to the library", [&] { ApplyChange("", kAddDev3); });
  Names written;
  ExpectReturnsWhileHeld("a request after that change", [&] {
    slot = nullptr;
    EXPECT_NE(Call(1, &slot), kFailure);
    if (slot != nullptr) {
      written = DecodeList(slot);
      ztrtsimDisposeNameList(slot);
    }
  });
  holder_.Release();
  // Told inline, the change may have been refreshed already by a pool thread
  // that needed no loader lock, and its list delivered to that request.
  const Names expected{"Dev1", "Dev2", "Dev3"};
  if (written != expected) PollFor(1, expected);
}

// Both caches go with the host's last release: one while its worker is still
// inside the library, which then ends it.
TEST_F(LoaderLockTest, LastReleaseWithWorkInFlight) {
  PollFor(2, Names{"Far1"});
  test_support::kelsim::SetLatency("FindHardware", 200);
  const std::uint64_t queries = kelsimCallCount("FindHardware");
  hostbind::UHandle slot = nullptr;
  ASSERT_EQ(Call(1, &slot, 1), kPending);
  ASSERT_TRUE(WaitFor([&] { return kelsimCallCount("FindHardware") > queries; }));
  Hold();
  ExpectReturnsWhileHeld("the last release", [] {
    ThePlugin().ReleasingAppRef(2);
    ThePlugin().ReleasingAppRef(1);
  });
  holder_.Release();
  test_support::kelsim::ExpectQuiet();
  test_support::kelsim::SetLatency("FindHardware", 0);
  PollFor(1, Names{"Dev1"});
}

}  // namespace
}  // namespace road
