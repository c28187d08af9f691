// The host's calls while the library fails: the answer of a cache waiting
// for its retry beside a healthy cache's, the library attempts a failing
// minute costs, and the call that submits the retry beside an unchanged
// answer plus one pool submission.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "healing_run.h"
#include "support.h"

namespace kronel_bench {
namespace {

// One round of batches per repetition; the table takes the median round.
void BM_AnswerWaitingForRetry(benchmark::State& state) {
  const std::size_t batches = Smoke() ? 4 : 100, calls = Smoke() ? 200 : 2000;
  WaitingAnswerFigures figures;
  for (auto _ : state) figures = MeasureWaitingAnswer(batches, calls);
  if (!figures.error.empty()) {
    state.SkipWithError(figures.error.c_str());
    return;
  }
  state.counters["batches"] = static_cast<double>(batches);
  state.counters["calls_per_batch"] = static_cast<double>(calls);
  state.counters["waiting_ns"] = Median(figures.waiting);
  state.counters["healthy_ns"] = Median(figures.healthy);
  state.counters["since_failure_ms"] = figures.sinceFailureMs;
}
BENCHMARK(BM_AnswerWaitingForRetry)->Iterations(1)->Unit(benchmark::kMillisecond);

// Counts on the tests' clock: one run says it all.
void FailingMinute(benchmark::State& state, Failing what) {
  constexpr std::int64_t kPeriodMs = 10;
  const std::int64_t failingMs = 60000;
  FailingMinuteFigures figures;
  for (auto _ : state) figures = MeasureFailingMinute(what, failingMs, kPeriodMs);
  if (!figures.error.empty()) {
    state.SkipWithError(figures.error.c_str());
    return;
  }
  state.counters["failing_ms"] = static_cast<double>(failingMs);
  state.counters["period_ms"] = kPeriodMs;
  state.counters["frameworks"] = static_cast<double>(figures.frameworks);
  state.counters["queries"] = static_cast<double>(figures.queries);
  state.counters["submissions"] = static_cast<double>(figures.submissions);
  state.counters["calls"] = static_cast<double>(figures.calls);
  state.counters["pending"] = static_cast<double>(figures.pending);
  state.counters["written"] = static_cast<double>(figures.written);
  state.counters["unchanged"] = static_cast<double>(figures.unchanged);
  state.counters["failed"] = static_cast<double>(figures.failed);
  state.counters["healed_ms"] = static_cast<double>(figures.healedMs);
}

void BM_FailingMinuteFrameworks(benchmark::State& state) { FailingMinute(state, Failing::kFrameworks); }
BENCHMARK(BM_FailingMinuteFrameworks)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);

void BM_FailingMinuteQuery(benchmark::State& state) { FailingMinute(state, Failing::kQuery); }
BENCHMARK(BM_FailingMinuteQuery)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);

// One round of samples per repetition; the table takes the median round.
void BM_RetryStart(benchmark::State& state) {
  const std::size_t samples = Smoke() ? 3 : 42;
  RetryStartFigures figures;
  for (auto _ : state) figures = MeasureRetryStart(samples);
  if (!figures.error.empty()) {
    state.SkipWithError(figures.error.c_str());
    return;
  }
  state.counters["samples"] = static_cast<double>(figures.retry.size());
  state.counters["retried"] = static_cast<double>(figures.retried);
  state.counters["retry_us"] = Median(figures.retry);
  state.counters["base_us"] = Median(figures.baseline);
  // The calls whose retry had reached the library by their end, and the others.
  std::vector<double> reached, alone;
  for (std::size_t i = 0; i < figures.retry.size(); ++i) {
    (figures.reachedLibrary[i] ? reached : alone).push_back(figures.retry[i]);
  }
  state.counters["reached"] = static_cast<double>(reached.size());
  state.counters["retry_reached_us"] = reached.empty() ? 0 : Median(reached);
  state.counters["retry_alone_us"] = alone.empty() ? 0 : Median(alone);
  state.counters["retry_max_us"] = Max(figures.retry);
  state.counters["base_max_us"] = Max(figures.baseline);
}
BENCHMARK(BM_RetryStart)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same calls with their submissions held until both were timed.
void BM_RetryStartKeptBack(benchmark::State& state) {
  const std::size_t samples = Smoke() ? 3 : 42;
  RetryStartFigures figures;
  for (auto _ : state) figures = MeasureRetryStart(samples, true);
  if (!figures.error.empty()) {
    state.SkipWithError(figures.error.c_str());
    return;
  }
  state.counters["samples"] = static_cast<double>(figures.retry.size());
  state.counters["retry_us"] = Median(figures.retry);
  state.counters["base_us"] = Median(figures.baseline);
}
BENCHMARK(BM_RetryStartKeptBack)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kronel_bench
