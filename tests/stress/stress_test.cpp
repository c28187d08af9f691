#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "kelsim.h"
#include "library_profiles.h"
#include "road.h"
#include "target_model.h"
#include "watchdog.h"
#include "ztrtsim.h"

namespace stress {
namespace {

using road::RoadTest;
using road::ThePlugin;

double StressSeconds() {
  if (const char* text = std::getenv("KRONEL_STRESS_SECONDS")) {
    const double seconds = std::atof(text);
    if (seconds > 0) return road::ShareOfEachProfile(seconds);
  }
#if defined(__SANITIZE_THREAD__)
  return road::ShareOfEachProfile(10);
#else
  return road::ShareOfEachProfile(2);
#endif
}

std::uint32_t Seed() {
  if (const char* text = std::getenv("KRONEL_STRESS_SEED")) return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
  return std::random_device()();
}

constexpr int kCallers = 4;
constexpr std::uint32_t kRefs = 6;

// Library calls whose failure abandons a refresh; others would change what a
// refresh sees, and so the list it yields.
const char* const kAbandoning[] = {"kelsysInstantiateFramework2", "FindHardware", "Next", "GetInt32", "GetUInt32",
                                   "GetString"};
const char* const kSlowed[] = {"kelsysInstantiateFramework2", "SetNotificationHandler", "FindHardware", "Next",
                               "HasProperty", "GetString"};
const int kHostFaults[] = {ZTRTSIM_FN_TARGET_URL, ZTRTSIM_FN_DS_NEW_H_CLR, ZTRTSIM_FN_LSTR_FROM_PTR,
                           ZTRTSIM_FN_CONVERT_UTF8_TO_SYSTEM};

// First few problems found on any thread, reported by the test's own thread.
class Problems {
 public:
  void Add(const std::string& problem) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (++count_ <= 20) list_.push_back(problem);
  }
  void Report() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& problem : list_) ADD_FAILURE() << problem;
    EXPECT_EQ(count_, 0u) << "problems in all";
  }

 private:
  std::mutex mutex_;
  std::size_t count_ = 0;
  std::vector<std::string> list_;
};

struct Counters {
  std::atomic<std::uint64_t> calls{0}, written{0}, unchanged{0}, pending{0}, noMemory{0}, failed{0};
  std::atomic<std::uint64_t> changes{0}, releases{0}, drops{0}, faultWindows{0};
};

class StressTest : public RoadTest {
 protected:
  void SetUp() override {
    RoadTest::SetUp();
    if (HasFatalFailure()) return;
    targets_.push_back(std::make_unique<TargetModel>("", "L"));
    targets_.push_back(std::make_unique<TargetModel>("rt-a", "A"));
    targets_.push_back(std::make_unique<TargetModel>("rt-b", "B"));
    std::string description = R"({"targets": {)";
    for (std::size_t t = 0; t < targets_.size(); ++t) {
      description += (t == 0 ? "\"" : ",\"") + targets_[t]->Target() + R"(": {"records": )" +
                     targets_[t]->RecordsJson() + "}";
    }
    Load(description + "}}");
    // 1: a null URL handle and 2: the empty URL are both the local target.
    SetUrl(2, "");
    SetUrl(3, "rt-a");
    SetUrl(4, "rt-a");
    SetUrl(5, "rt-b");
    SetUrl(6, "rt-b");
  }

  TargetModel& TargetOf(std::uint32_t ref) { return *targets_[(ref - 1) / 2]; }

  // A written list must be one its target really held; a new cache's empty
  // list, before its first refresh ends, is one too.
  void CheckList(std::uint32_t ref, hostbind::UHandle list) {
    const road::Names names = road::DecodeList(list);
    if (!names.empty() && !TargetOf(ref).WasHeld(names)) {
      std::string text;
      for (const std::string& name : names) text += " " + name;
      problems_.Add("reference " + std::to_string(ref) + " was given a list its target never held:" + text);
    }
    if (ztrtsimDisposeNameList(list) != ZTRTSIM_OK) problems_.Add("a written list could not be disposed of");
  }

  void Caller(std::uint32_t seed) {
    std::mt19937 random(seed);
    while (!stop_.load()) {
      const std::uint32_t ref = 1 + random() % kRefs;
      const std::int32_t force = random() % 16 == 0 ? 1 : 0;
      hostbind::UHandle slot = nullptr;
      std::int32_t result;
      std::uint64_t before, after;
      while (draining_.load()) std::this_thread::yield();
      {
        std::shared_lock<std::shared_mutex> gate(gate_);
        before = faultEpoch_.load();
        result = Call(ref, &slot, force);
        after = faultEpoch_.load();
      }
      ++counters_.calls;
      // Odd epochs are open fault windows; a failure must overlap one.
      const bool faultPossible = before % 2 != 0 || before != after;
      switch (result) {
        case road::kWritten:
          ++counters_.written;
          CheckList(ref, slot);
          break;
        case road::kUnchanged:
        case road::kPending:
          ++(result == road::kUnchanged ? counters_.unchanged : counters_.pending);
          if (slot != nullptr) problems_.Add("result " + std::to_string(result) + " wrote the slot");
          if (force != 0 && result != road::kPending) problems_.Add("a forced call was not pending");
          break;
        case road::kNoMemory:
          ++counters_.noMemory;
          if (!faultPossible) problems_.Add("result 6 with no host fault armed");
          if (slot != nullptr) problems_.Add("result 6 left a list in the slot");
          break;
        case road::kFailure:
          ++counters_.failed;
          if (!faultPossible) problems_.Add("result 7 with no host fault armed");
          if (slot != nullptr) {
            if (ztrtsimListCount(slot) != 0) problems_.Add("a failed list has a count");
            ztrtsimDisposeNameList(slot);
          }
          break;
        default:
          problems_.Add("unexpected result " + std::to_string(result));
      }
      // A host does other work between calls; without a pause the releases starve.
      if (random() % 2 == 0) std::this_thread::sleep_for(std::chrono::microseconds(random() % 200));
    }
  }

  // Single releases, and now and then every reference at once, which drops
  // the whole map while refreshes may still run.
  void Releaser(std::uint32_t seed) {
    std::mt19937 random(seed);
    while (!stop_.load()) {
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
      if (random() % 4 == 0) {
        draining_.store(true);
        {
          std::unique_lock<std::shared_mutex> gate(gate_);
          for (std::uint32_t ref = 1; ref <= kRefs; ++ref) ThePlugin().ReleasingAppRef(ref);
        }
        draining_.store(false);
        ++counters_.drops;
      } else {
        ThePlugin().ReleasingAppRef(1 + random() % kRefs);
        ++counters_.releases;
      }
    }
  }

  void Notifier(std::uint32_t seed) {
    std::mt19937 random(seed);
    char error[512] = "";
    while (!stop_.load()) {
      // Bursts as fast as the library takes them, with short lulls in which refreshes can finish.
      for (unsigned burst = 1 + random() % 40; burst > 0; --burst) {
        TargetModel& target = *targets_[random() % targets_.size()];
        const std::string change = target.NextChange(random);
        if (kelsimApplyChange(target.Target().c_str(), change.c_str(), "storm", error, sizeof error) != 0) {
          problems_.Add(std::string("a change was refused: ") + error);
          return;
        }
        ++counters_.changes;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 8000));
    }
  }

  // Latency, library failures and host failure windows, at random.
  void Chaos(std::uint32_t seed) {
    std::mt19937 random(seed);
    char error[256] = "";
    while (!stop_.load()) {
      const std::uint32_t latency = random() % 4 == 0 ? 1 + random() % 2 : 0;
      kelsimSetLatency(kSlowed[random() % std::size(kSlowed)], latency, error, sizeof error);
      if (random() % 2 == 0) {
        kelsimSetFailure(kAbandoning[random() % std::size(kAbandoning)], 1 + random() % 40, road::kEFail, error,
                         sizeof error);
      }
      if (random() % 3 == 0) {
        ++faultEpoch_;
        ztrtsimFailCall(kHostFaults[random() % std::size(kHostFaults)], 1 + random() % 20, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % 3));
        ztrtsimClearFailures();
        ++faultEpoch_;
        ++counters_.faultWindows;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 10));
    }
  }

  void Calm() {
    kelsimClearFailures();
    ztrtsimClearFailures();
    char error[256] = "";
    for (const char* operation : kSlowed) kelsimSetLatency(operation, 0, error, sizeof error);
  }

  // Calls until the list equal to `expected` arrives; every list on the way must be one the target held.
  void AwaitList(std::uint32_t ref, const road::Names& expected) {
    road::Names last;
    const bool arrived = road::WaitFor([&] {
      hostbind::UHandle slot = nullptr;
      const std::int32_t result = Call(ref, &slot);
      if (result != road::kWritten) {
        EXPECT_TRUE(result == road::kPending || result == road::kUnchanged) << "result " << result;
        return false;
      }
      last = road::DecodeList(slot);
      EXPECT_TRUE(last.empty() || TargetOf(ref).WasHeld(last));
      ztrtsimDisposeNameList(slot);
      return last == expected;
    });
    EXPECT_TRUE(arrived) << "reference " << ref << " never got the final list";
  }

  // Every reference of every target ends up told that nothing changed.
  void AwaitUnchanged() {
    for (std::uint32_t ref = 1; ref <= kRefs; ++ref) {
      const road::Names expected = TargetOf(ref).CurrentNames();
      EXPECT_TRUE(road::WaitFor([&] {
        hostbind::UHandle slot = nullptr;
        const std::int32_t result = Call(ref, &slot);
        if (result == road::kWritten) {
          EXPECT_EQ(road::DecodeList(slot), expected);
          ztrtsimDisposeNameList(slot);
        }
        return result == road::kUnchanged;
      })) << "reference " << ref;
    }
  }

  std::vector<std::unique_ptr<TargetModel>> targets_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> draining_{false};
  std::atomic<std::uint64_t> faultEpoch_{0};
  std::shared_mutex gate_;
  Problems problems_;
  Counters counters_;
};

TEST_F(StressTest, HostThreadsReleasesAndANotificationStorm) {
  const double seconds = StressSeconds();
  const std::uint32_t seed = Seed();
  std::printf("stress: %.1f s, seed %u (KRONEL_STRESS_SECONDS, KRONEL_STRESS_SEED)\n", seconds, seed);
  Watchdog watchdog(std::chrono::seconds(static_cast<long long>(3 * seconds) + 120));
  const auto start = std::chrono::steady_clock::now();

  watchdog.Phase("storm");
  std::vector<std::thread> threads;
  for (int i = 0; i < kCallers; ++i) threads.emplace_back([this, seed, i] { Caller(seed + 1 + i); });
  threads.emplace_back([this, seed] { Releaser(seed + 100); });
  threads.emplace_back([this, seed] { Notifier(seed + 200); });
  threads.emplace_back([this, seed] { Chaos(seed + 300); });
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  stop_.store(true);
  watchdog.Phase("joining the storm's threads");
  for (std::thread& thread : threads) thread.join();
  const auto stormEnd = std::chrono::steady_clock::now();
  problems_.Report();

  // Quiet: every cache and every refresh of the storm ends with the map.
  watchdog.Phase("ending the storm's caches");
  Calm();
  ASSERT_EQ(kelsimWaitIdle(60000), 1);
  for (std::uint32_t ref = 1; ref <= kRefs; ++ref) ThePlugin().ReleasingAppRef(ref);
  EXPECT_TRUE(road::WaitFor([] { return kelsimLiveObjects() == 0; })) << kelsimLiveObjects() << " objects left";
  EXPECT_EQ(ztrtsimLiveHandles(), 0);

  // New caches read the final records; then a notified change reaches every target.
  watchdog.Phase("final lists");
  for (const auto& target : targets_) ApplyChange(target->Target(), target->FinalChange("final"));
  if (HasFatalFailure()) return;
  for (std::uint32_t ref = 1; ref <= kRefs; ref += 2) AwaitList(ref, TargetOf(ref).CurrentNames());
  AwaitUnchanged();
  watchdog.Phase("final notified change");
  for (const auto& target : targets_) ApplyChange(target->Target(), target->FinalChange("last"));
  if (HasFatalFailure()) return;
  ASSERT_EQ(kelsimWaitIdle(60000), 1);
  for (std::uint32_t ref = 2; ref <= kRefs; ref += 2) AwaitList(ref, TargetOf(ref).CurrentNames());
  AwaitUnchanged();

  const double elapsed = std::chrono::duration<double>(stormEnd - start).count();
  std::printf("stress: %.1f s storm; %llu calls (%llu written, %llu unchanged, %llu pending, %llu no memory, "
              "%llu failed); %llu changes, %llu notifications delivered, %llu dropped; %llu refreshes; "
              "%llu releases, %llu map drops; %llu host fault windows; lists held %zu/%zu/%zu\n",
              elapsed, static_cast<unsigned long long>(counters_.calls.load()),
              static_cast<unsigned long long>(counters_.written.load()),
              static_cast<unsigned long long>(counters_.unchanged.load()),
              static_cast<unsigned long long>(counters_.pending.load()),
              static_cast<unsigned long long>(counters_.noMemory.load()),
              static_cast<unsigned long long>(counters_.failed.load()),
              static_cast<unsigned long long>(counters_.changes.load()),
              static_cast<unsigned long long>(kelsimDeliveredNotifications()),
              static_cast<unsigned long long>(kelsimDroppedNotifications()),
              static_cast<unsigned long long>(kelsimCallCount("FindHardware")),
              static_cast<unsigned long long>(counters_.releases.load()),
              static_cast<unsigned long long>(counters_.drops.load()),
              static_cast<unsigned long long>(counters_.faultWindows.load()), targets_[0]->ListsHeld(),
              targets_[1]->ListsHeld(), targets_[2]->ListsHeld());
  EXPECT_GT(counters_.written.load(), 0u);
  EXPECT_GT(counters_.drops.load(), 0u);
  EXPECT_GT(kelsimDeliveredNotifications(), 0u);
}

}  // namespace
}  // namespace stress
