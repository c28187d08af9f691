// GetIOControlNames through the loaded plug-in: the answer "unchanged" per
// call against the same work done bare, and the latency of every call while
// each refresh is held inside the library and notifications keep coming.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "bare_answer.h"
#include "latency_run.h"
#include "platform/module.h"
#include "support.h"
#include "ztrtsim.h"

namespace kronel_bench {
namespace {

constexpr std::uint32_t kAppRef = 1;

void Unchanged(benchmark::State& state, bool nameModule) {
  std::string error;
  if (!SetUpTarget(1, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
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

void BM_UnchangedBare(benchmark::State& state) {
  ztrtsimReset();
  BareAnswer bare(kAppRef);
  if (!bare.Ready()) {
    state.SkipWithError("no TargetURL in the engine");
    return;
  }
  for (auto _ : state) bare.Once();
}
BENCHMARK(BM_UnchangedBare);

void BM_LatencyWhileRefreshIsHeld(benchmark::State& state) {
  const std::uint64_t lists = Smoke() ? 2 : 10;
  const std::uint32_t delay = Smoke() ? 20 : 500;
  LatencyFigures figures;
  for (auto _ : state) figures = RunLatency(lists, delay, std::chrono::seconds(Smoke() ? 10 : 30));
  if (!figures.error.empty()) {
    state.SkipWithError(figures.error.c_str());
    return;
  }
  state.counters["calls"] = static_cast<double>(figures.latencies.size());
  state.counters["pause_us"] = static_cast<double>(kLatencyPause.count());
  state.counters["p50_us"] = figures.At(0.50);
  state.counters["p99_us"] = figures.At(0.99);
  state.counters["p999_us"] = figures.At(0.999);
  state.counters["max_us"] = figures.At(1.0);
  state.counters["bare_p50_us"] = figures.BareAt(0.50);
  state.counters["bare_p99_us"] = figures.BareAt(0.99);
  state.counters["bare_p999_us"] = figures.BareAt(0.999);
  state.counters["bare_max_us"] = figures.BareAt(1.0);
  state.counters["max_written_us"] = figures.slowestByAnswer[0];
  state.counters["max_unchanged_us"] = figures.slowestByAnswer[1];
  state.counters["max_pending_us"] = figures.slowestByAnswer[2];
  state.counters["delay_ms"] = delay;
  state.counters["lists_due"] = static_cast<double>(lists);
  state.counters["lists"] = static_cast<double>(figures.written);
  state.counters["pending"] = static_cast<double>(figures.pending);
  state.counters["failed"] = static_cast<double>(figures.failed);
  state.counters["refreshes"] = static_cast<double>(figures.refreshes);
  state.counters["seconds"] = figures.run.Microseconds() / 1e6;
}
BENCHMARK(BM_LatencyWhileRefreshIsHeld)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kronel_bench
