// Work handed to the pool by host calls: the call that starts a refresh
// beside an unchanged answer plus one pool submission (and a thread start,
// for scale), the same call once the pool has retired its threads, and the
// last release of many caches at once.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "last_release_run.h"
#include "refresh_start_run.h"
#include "support.h"

namespace kronel_bench {
namespace {

// One round of samples per repetition; the table takes the median round.
// Through the plug-in's code linked in here: the loaded one keeps its pool
// to itself, and a wake-up costs what it costs on the thread woken, so the
// call and its baseline's submission go to one pool.
void BM_RefreshStart(benchmark::State& state) {
  const std::size_t samples = Smoke() ? 3 : 42;
  RefreshStartFigures figures;
  for (auto _ : state) figures = MeasureRefreshStart(Plugin::Linked(), samples);
  if (!figures.error.empty()) {
    state.SkipWithError(figures.error.c_str());
    return;
  }
  state.counters["samples"] = static_cast<double>(figures.forced.size());
  state.counters["retried"] = static_cast<double>(figures.retried);
  state.counters["forced_us"] = Median(figures.forced);
  state.counters["first_us"] = Median(figures.first);
  state.counters["base_us"] = Median(figures.baseline);
  state.counters["thread_us"] = Median(figures.threadStart);
  state.counters["forced_max_us"] = Max(figures.forced);
  state.counters["base_max_us"] = Max(figures.baseline);
}
BENCHMARK(BM_RefreshStart)->Iterations(1)->Unit(benchmark::kMillisecond);

// The plug-in's pool retires a thread idle for 5 s; with none left, the
// submitting call starts one. Its retirement period is its own, so the wait
// is real; the smoke run does not wait.
void BM_RefreshStartPoolIdle(benchmark::State& state) {
  const int samples = Smoke() ? 1 : 3;
  const auto idle = Smoke() ? std::chrono::milliseconds(0) : std::chrono::milliseconds(5500);
  std::vector<double> calls, threads, added;
  std::string error;
  for (auto _ : state) {
    for (int i = 0; i < samples && error.empty(); ++i) {
      const IdlePoolStart figures = MeasureRefreshStartAfterIdle(idle);
      error = figures.error;
      calls.push_back(figures.call);
      threads.push_back(figures.threadStart);
      added.push_back(static_cast<double>(figures.threadsAfter - figures.threadsBefore));
    }
  }
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  state.counters["samples"] = samples;
  state.counters["idle_ms"] = static_cast<double>(idle.count());
  state.counters["call_us"] = Median(calls);
  state.counters["thread_us"] = Median(threads);
  state.counters["threads_added"] = Median(added);
}
BENCHMARK(BM_RefreshStartPoolIdle)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);

// A few rounds per repetition, as one round's figure depends much on where
// the scheduler puts the pool's thread that settles the library: on the
// releasing thread's core, it may run before the call returns.
void BM_LastRelease(benchmark::State& state) {
  const auto caches =
      static_cast<std::size_t>(Smoke() ? std::max<std::int64_t>(1, state.range(0) / 10) : state.range(0));
  const int rounds = Smoke() ? 1 : 3;
  std::vector<double> calls, settled;
  std::string error;
  double registrations = 0;
  for (auto _ : state) {
    for (int round = 0; round < rounds && error.empty(); ++round) {
      const LastReleaseFigures figures = MeasureLastRelease(caches);
      error = figures.error;
      calls.push_back(figures.microseconds);
      settled.push_back(figures.settledMs);
      registrations = static_cast<double>(figures.registrations);
    }
  }
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  const double call = Median(calls);
  state.counters["caches"] = static_cast<double>(caches);
  state.counters["rounds"] = rounds;
  state.counters["release_us"] = call;
  state.counters["per_cache_us"] = call / static_cast<double>(caches);
  state.counters["registrations"] = registrations;
  state.counters["settled_ms"] = Median(settled);
}
BENCHMARK(BM_LastRelease)->Arg(10)->Arg(100)->Arg(400)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kronel_bench
