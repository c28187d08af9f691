// GetIOControlNames through the loaded plug-in: the answer "unchanged" per
// call against the same work done bare, and the latency of every call while
// each refresh is held inside the library and notifications keep coming.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <boost/functional/hash.hpp>
#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/unordered_map.hpp>

#include "hostbind/host_types.h"
#include "kelsim.h"
#include "platform/module.h"
#include "support.h"
#include "ztrtsim.h"

namespace kronel_bench {
namespace {

constexpr std::uint32_t kAppRef = 1;
const char kTarget[] = "rt-bench";

const std::string& Records() {
  static const std::string records = MixedRecords(20);
  return records;
}

// A fresh library and engine serving kTarget to the given references.
bool SetUpTarget(benchmark::State& state, std::uint32_t refs) {
  kelsimReset();
  ztrtsimReset();
  std::string error;
  if (!LoadDescription(Description(kTarget, Records()), error)) {
    state.SkipWithError(error.c_str());
    return false;
  }
  for (std::uint32_t ref = 1; ref <= refs; ++ref) {
    ztrtsimSetTargetURL(ref, kTarget, static_cast<std::int32_t>(sizeof kTarget - 1));
  }
  if (!Plugin::Instance().Loaded()) {
    state.SkipWithError("the plug-in did not load");
    return false;
  }
  return true;
}

void TearDownTarget(std::uint32_t refs) {
  kelsimClearFailures();
  for (std::uint32_t ref = 1; ref <= refs; ++ref) Plugin::Instance().ReleasingAppRef(ref);
  WaitFor([] { return kelsimLiveObjects() == 0; });
  Plugin::Instance().SetZTRTModule(nullptr);
}

void Unchanged(benchmark::State& state, bool nameModule) {
  if (!SetUpTarget(state, 1)) return;
  const Plugin& plugin = Plugin::Instance();
  plugin.SetZTRTModule(nameModule ? platform::GetModuleHandleA("ztrt.dll") : nullptr);
  if (!PollUntilWritten(kAppRef)) {
    state.SkipWithError("no list arrived");
  } else {
    for (auto _ : state) {
      hostbind::UHandle slot = nullptr;
      if (plugin.GetIOControlNames(kAppRef, &slot) != 1) {
        state.SkipWithError("the answer was not 1");
        break;
      }
    }
  }
  TearDownTarget(1);
}

// The host names its run-time module, as Zentro does.
void BM_GetIOControlNamesUnchanged(benchmark::State& state) { Unchanged(state, true); }
BENCHMARK(BM_GetIOControlNamesUnchanged);

// Without SetZTRTModule every host call searches the loaded modules.
void BM_GetIOControlNamesUnchangedSearched(benchmark::State& state) { Unchanged(state, false); }
BENCHMARK(BM_GetIOControlNamesUnchangedSearched);

// The bare work of an unchanged answer: a lock, a set insert, a hash-map
// look-up and one indirect call, to the engine's own TargetURL, whose work
// every answer includes.
void BM_UnchangedBare(benchmark::State& state) {
  ztrtsimReset();
  ztrtsimSetTargetURL(kAppRef, kTarget, static_cast<std::int32_t>(sizeof kTarget - 1));
  hostbind::TargetURLFn volatile targetURL = reinterpret_cast<hostbind::TargetURLFn>(
      platform::GetProcAddress(platform::GetModuleHandleA("ztrt.dll"), "TargetURL"));
  if (targetURL == nullptr) {
    state.SkipWithError("no TargetURL in the engine");
    return;
  }
  boost::mutex mutex;
  std::set<std::uint32_t> refs{kAppRef};
  boost::unordered_map<std::string, std::uint32_t, boost::hash<std::string>> map{{kTarget, 101}};
  for (auto _ : state) {
    boost::lock_guard<boost::mutex> lock(mutex);
    benchmark::DoNotOptimize(refs.insert(kAppRef));
    hostbind::LStrHandle url = nullptr;
    benchmark::DoNotOptimize(targetURL(kAppRef, &url));
    const std::string key(reinterpret_cast<const char*>((*url)->str), static_cast<std::size_t>((*url)->cnt));
    benchmark::DoNotOptimize(map.find(key));
  }
}
BENCHMARK(BM_UnchangedBare);

// Four host threads call every `pause` while each refresh of their target
// sits in FindHardware for `delay` and a change arrives every 20 ms.
void BM_LatencyWhileRefreshIsHeld(benchmark::State& state) {
  constexpr std::uint32_t kThreads = 4;
  const std::size_t calls = Smoke() ? 2000 : 100000;
  const std::uint32_t delay = Smoke() ? 20 : 500;
  const auto pause = std::chrono::microseconds(100);
  if (!SetUpTarget(state, kThreads)) return;
  const Plugin& plugin = Plugin::Instance();
  plugin.SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));

  std::vector<double> latencies;
  double maxByAnswer[3] = {0, 0, 0};
  std::atomic<std::uint64_t> written{0}, pending{0}, failed{0};
  std::uint64_t refreshes = 0;
  for (auto _ : state) {
    // The first refresh registers for notifications; only then is the library slowed.
    if (!PollUntilWritten(1)) {
      state.SkipWithError("no list arrived");
      break;
    }
    char error[256] = "";
    kelsimSetLatency("FindHardware", delay, error, sizeof error);
    const std::uint64_t findsBefore = kelsimCallCount("FindHardware");

    std::atomic<bool> stop{false};
    std::thread changes([&] {
      for (int i = 0; !stop.load(); ++i) {
        const std::string change = R"({"replace": [)" + MixedRecords(static_cast<std::size_t>(10 + i % 7)) + "]}";
        char message[256] = "";
        kelsimApplyChange(kTarget, change.c_str(), "change.json", message, sizeof message);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    std::vector<std::vector<double>> perThread(kThreads);
    std::vector<std::array<double, 3>> slowest(kThreads, {0, 0, 0});  // per answer 0, 1, 2
    std::vector<std::thread> callers;
    for (std::uint32_t t = 0; t < kThreads; ++t) {
      callers.emplace_back([&, t] {
        std::vector<double>& mine = perThread[t];
        mine.reserve(calls / kThreads);
        for (std::size_t i = 0; i < calls / kThreads; ++i) {
          hostbind::UHandle slot = nullptr;
          const auto start = std::chrono::steady_clock::now();
          const std::int32_t result = plugin.GetIOControlNames(t + 1, &slot);
          const auto end = std::chrono::steady_clock::now();
          const double us = std::chrono::duration<double, std::micro>(end - start).count();
          mine.push_back(us);
          if (result >= 0 && result <= 2) slowest[t][result] = std::max(slowest[t][result], us);
          if (slot != nullptr) ztrtsimDisposeNameList(slot);
          if (result == 0) ++written;
          else if (result == 2) ++pending;
          else if (result != 1) ++failed;
          std::this_thread::sleep_for(pause);
        }
      });
    }
    for (std::thread& caller : callers) caller.join();
    stop = true;
    changes.join();
    kelsimSetLatency("FindHardware", 0, error, sizeof error);
    refreshes = kelsimCallCount("FindHardware") - findsBefore;
    for (const auto& mine : perThread) latencies.insert(latencies.end(), mine.begin(), mine.end());
    for (const auto& mine : slowest) {
      for (int answer = 0; answer < 3; ++answer) maxByAnswer[answer] = std::max(maxByAnswer[answer], mine[answer]);
    }
  }
  TearDownTarget(kThreads);
  if (latencies.empty()) return;

  std::sort(latencies.begin(), latencies.end());
  auto at = [&](double fraction) {
    return latencies[std::min(latencies.size() - 1, static_cast<std::size_t>(fraction * latencies.size()))];
  };
  state.counters["calls"] = static_cast<double>(latencies.size());
  state.counters["p50_us"] = at(0.50);
  state.counters["p99_us"] = at(0.99);
  state.counters["p999_us"] = at(0.999);
  state.counters["max_us"] = latencies.back();
  state.counters["max_written_us"] = maxByAnswer[0];
  state.counters["max_unchanged_us"] = maxByAnswer[1];
  state.counters["max_pending_us"] = maxByAnswer[2];
  state.counters["delay_ms"] = delay;
  state.counters["lists"] = static_cast<double>(written.load());
  state.counters["pending"] = static_cast<double>(pending.load());
  state.counters["failed"] = static_cast<double>(failed.load());
  state.counters["refreshes"] = static_cast<double>(refreshes);
}
BENCHMARK(BM_LatencyWhileRefreshIsHeld)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kronel_bench
