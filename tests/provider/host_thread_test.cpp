// What the host's thread pays for: its own short locks and a queue push.
// Submitted work is held back here, so that each test sees what the host's
// thread did before anything ran elsewhere.
#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "kelsim.h"
#include "library_profiles.h"
#include "platform/work_pool.h"
#include "provider/registry.h"
#include "sim_engine.h"
#include "sim_library.h"
#include "thread_count.h"
#include "wait_for.h"
#include "ztrtsim.h"

namespace {

using Names = std::vector<std::string>;

constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);

class Submissions {
 public:
  static bool Hold(platform::WorkEntry entry, void* argument) noexcept {
    try {
      std::lock_guard<std::mutex> lock(mutex_);
      held_.emplace_back(entry, argument);
      return true;
    } catch (...) {
      return false;
    }
  }
  static bool Refuse(platform::WorkEntry, void*) noexcept { return false; }

  static std::size_t Held() {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_.size();
  }
  // Gives the pool back and hands it what was held.
  static void Release() {
    platform::ReplaceWorkSubmitter(nullptr);
    std::vector<std::pair<platform::WorkEntry, void*>> held;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      held.swap(held_);
    }
    for (const auto& work : held) ASSERT_TRUE(platform::SubmitToPool(work.first, work.second));
  }

 private:
  static std::mutex mutex_;
  static std::vector<std::pair<platform::WorkEntry, void*>> held_;
};
std::mutex Submissions::mutex_;
std::vector<std::pair<platform::WorkEntry, void*>> Submissions::held_;

using test_support::WaitFor;
using test_support::kelsim::SetLatency;

std::string Target(std::uint32_t ref) { return "rt-" + std::to_string(ref); }

constexpr std::uint32_t kMaxRefs = 24;

class HostThreadTest : public ::testing::TestWithParam<std::uint32_t> {
 protected:
  void SetUp() override {
    kelsimReset();
    ztrtsimReset();
    road::ApplyProfile(road::ProfileOfThisRun());
    std::string targets;
    for (std::uint32_t ref = 1; ref <= kMaxRefs; ++ref) {
      targets += (ref > 1 ? "," : "") + ("\"" + Target(ref) + "\"") + R"(: {"records": [{"status": 1,)" +
                 R"( "modelCode": "0x7066", "resourceName": "Dev)" + std::to_string(ref) + "\"}]}";
      test_support::ztrtsim::SetUrl(ref, Target(ref));
    }
    test_support::kelsim::Load(R"({"targets": {)" + targets + "}}");
  }

  void TearDown() override {
    Submissions::Release();
    for (std::uint32_t ref = 1; ref <= kMaxRefs; ++ref) provider::ReleasingAppRef(ref);
    test_support::kelsim::ExpectQuiet();
    EXPECT_EQ(ztrtsimLiveHandles(), 0);
    kelsimReset();
    ztrtsimReset();
  }

  static void ApplyChange(std::uint32_t ref, const std::string& change) {
    test_support::kelsim::ApplyChange(Target(ref), change);
  }

  // The result of one call; a written list is read and disposed of.
  static std::int32_t Call(std::uint32_t ref, std::int32_t force = 0, Names* names = nullptr) {
    hostbind::UHandle slot = nullptr;
    const std::int32_t result = provider::GetIOControlNames(ref, &slot, force);
    if (slot != nullptr) {
      if (names != nullptr && result == provider::kResultWritten)
        *names = test_support::ztrtsim::DecodeList(slot);
      EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);
    }
    return result;
  }

  // Calls as the host does until a list equal to `expected` is written.
  static bool ListArrives(std::uint32_t ref, const Names& expected) {
    return WaitFor([&] {
      Names names;
      return Call(ref, 0, &names) == provider::kResultWritten && names == expected;
    });
  }

  static Names Device(std::uint32_t ref) { return {"Dev" + std::to_string(ref)}; }
};

// Every kind of host call that starts work leaves it to the pool: the
// library is not called and no thread appears on the host's thread, even
// where a started thread would sit in a slow library call.
TEST_F(HostThreadTest, HostCallsStartNoThreadAndCallNoLibrary) {
  SetLatency("kelsysInstantiateFramework2", 300);
  SetLatency("FindHardware", 300);
  platform::ReplaceWorkSubmitter(&Submissions::Hold);
  const std::size_t threads = test_support::ProcessThreadCount();

  // The first request of a target, and one more while its refresh waits.
  EXPECT_EQ(Call(1), provider::kResultPending);
  EXPECT_EQ(Call(1), provider::kResultPending);
  EXPECT_EQ(Submissions::Held(), 1u);
  EXPECT_EQ(kelsimCallCount("kelsysInstantiateFramework2"), 0u);
  EXPECT_EQ(test_support::ProcessThreadCount(), threads);
  Submissions::Release();
  ASSERT_TRUE(ListArrives(1, Device(1)));

  // A forced refresh.
  platform::ReplaceWorkSubmitter(&Submissions::Hold);
  const std::size_t threadsForced = test_support::ProcessThreadCount();
  const std::uint64_t queries = kelsimCallCount("FindHardware");
  EXPECT_EQ(Call(1, 1), provider::kResultPending);
  EXPECT_EQ(Submissions::Held(), 1u);
  EXPECT_EQ(kelsimCallCount("FindHardware"), queries);
  EXPECT_EQ(test_support::ProcessThreadCount(), threadsForced);
  Submissions::Release();
  ASSERT_TRUE(ListArrives(1, Device(1)));
}

// However many caches the last release ends, the host's thread leaves their
// removals and frameworks to one piece of pool work.
TEST_P(HostThreadTest, LastReleaseSubmitsOnePieceForAllCaches) {
  const std::uint32_t refs = GetParam();
  for (std::uint32_t ref = 1; ref <= refs; ++ref) {
    EXPECT_EQ(Call(ref), provider::kResultPending);
    ASSERT_TRUE(ListArrives(ref, Device(ref)));
  }
  ASSERT_TRUE(WaitFor([&] { return kelsimRegistrations() == refs; }));
  SetLatency("SetNotificationHandler", 40);
  const std::uint64_t removals = kelsimCallCount("SetNotificationHandler");
  const std::uint64_t objects = kelsimLiveObjects();
  platform::ReplaceWorkSubmitter(&Submissions::Hold);
  const std::size_t threads = test_support::ProcessThreadCount();

  for (std::uint32_t ref = 1; ref <= refs; ++ref) provider::ReleasingAppRef(ref);
  EXPECT_EQ(Submissions::Held(), 1u);
  EXPECT_EQ(test_support::ProcessThreadCount(), threads);
  EXPECT_EQ(kelsimCallCount("SetNotificationHandler"), removals);
  EXPECT_EQ(kelsimLiveObjects(), objects);
  EXPECT_EQ(kelsimRegistrations(), refs);

  Submissions::Release();
  EXPECT_TRUE(WaitFor([] { return kelsimRegistrations() == 0 && kelsimLiveObjects() == 0; }));
}
INSTANTIATE_TEST_SUITE_P(Caches, HostThreadTest, ::testing::Values(1u, 3u, kMaxRefs));

// Work the pool refuses fails the call that asked for it and nothing else:
// the host is answered 7, the library's callback a failure, and the next
// request refreshes.
TEST_F(HostThreadTest, RefusedWorkFailsOnlyTheCallThatAskedForIt) {
  platform::ReplaceWorkSubmitter(&Submissions::Refuse);
  EXPECT_EQ(Call(1), provider::kResultFailure);
  platform::ReplaceWorkSubmitter(nullptr);
  EXPECT_EQ(Call(1), provider::kResultPending);
  ASSERT_TRUE(ListArrives(1, Device(1)));
  ASSERT_TRUE(WaitFor([] { return kelsimRegistrations() == 1; }));

  platform::ReplaceWorkSubmitter(&Submissions::Refuse);
  ApplyChange(1, R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Added"}]})");
  EXPECT_EQ(kelsimWaitIdle(20000), 1);
  EXPECT_EQ(kelsimLastHandlerResult(), kEFail);
  platform::ReplaceWorkSubmitter(nullptr);
  EXPECT_EQ(Call(1), provider::kResultPending);
  EXPECT_TRUE(ListArrives(1, Names{"Added", "Dev1"}));
}

}  // namespace
