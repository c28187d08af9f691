// Idle caches: the threads they keep (none: their refreshes ran as pool work
// and the pool's threads retire once idle) and the heap each one holds, new
// and after its first refresh (then with its framework handle and its share
// of the library's objects). The caches here are the benchmark's own copy of
// the plug-in's code, so the pool they use is the one CountWork reports.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include "kelsim.h"
#include "kronel/morrow_cache.h"
#include "platform/posix_thread_pool.h"
#include "platform/work_pool.h"
#include "process_stats.h"
#include "support.h"
#include "thread_count.h"

namespace kronel_bench {
namespace {

// The pool's own period; the smoke run shortens it for the while.
constexpr std::chrono::milliseconds kRetirement{5000}, kSmokeRetirement{200};

bool PoolRetired(std::chrono::milliseconds retirement) {
  return WaitFor([] { return platform::CountWork().threadsAlive == 0; },
                 retirement + std::chrono::seconds(2));
}

void BM_IdleCaches(benchmark::State& state) {
  const std::size_t count = Smoke() ? 20 : 200;
  const std::chrono::milliseconds retirement = Smoke() ? kSmokeRetirement : kRetirement;
  kelsimReset();
  std::string targets;
  for (std::size_t i = 0; i < count; ++i) {
    targets += (i > 0 ? ",\n" : "") + std::string(R"("rt-)") + std::to_string(i) + R"(": {"records": [)" +
               MixedRecords(10) + "]}";
  }
  std::string error;
  if (!LoadDescription(R"({"targets": {)" + targets + "}}", error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  platform::ProcessThreadPool().SetIdleRetirement(retirement);
  double threadsBefore = 0, threadsIdle = 0, poolBusy = 0, poolIdle = 0, poolStarted = 0, newBytes = 0,
         refreshedBytes = 0;
  bool retiredBefore = true;
  for (auto _ : state) {
    std::vector<boost::shared_ptr<kronel::MorrowCache>> caches;
    caches.reserve(count);
    // Earlier benchmarks' pool threads go first.
    retiredBefore = PoolRetired(retirement);
    threadsBefore = static_cast<double>(test_support::ProcessThreadCount());
    const std::uint64_t startedBefore = platform::CountWork().threadsStarted;
    const std::size_t heapBefore = HeapInUse();
    for (std::size_t i = 0; i < count; ++i) {
      caches.push_back(boost::make_shared<kronel::MorrowCache>("rt-" + std::to_string(i)));
    }
    const std::size_t heapNew = HeapInUse();
    for (auto& cache : caches) {
      cache->RequestRefresh();
      WaitFor([&] { return !cache->IsRefreshing(); });
    }
    const std::size_t heapIdle = HeapInUse();
    poolBusy = platform::CountWork().threadsAlive;
    PoolRetired(retirement);
    poolIdle = platform::CountWork().threadsAlive;
    poolStarted = static_cast<double>(platform::CountWork().threadsStarted - startedBefore);
    threadsIdle = static_cast<double>(test_support::ProcessThreadCount());
    newBytes = static_cast<double>(heapNew - heapBefore) / static_cast<double>(count);
    refreshedBytes = static_cast<double>(heapIdle - heapBefore) / static_cast<double>(count);
    caches.clear();
    WaitFor([] { return kelsimLiveObjects() == 0; });
  }
  platform::ProcessThreadPool().SetIdleRetirement(kRetirement);
  if (!retiredBefore) {
    state.SkipWithError("the pool kept threads from earlier benchmarks");
    return;
  }
  state.counters["caches"] = static_cast<double>(count);
  state.counters["retirement_ms"] = static_cast<double>(retirement.count());
  state.counters["threads_before"] = threadsBefore;
  state.counters["threads_idle"] = threadsIdle;
  state.counters["pool_busy"] = poolBusy;
  state.counters["pool_idle"] = poolIdle;
  state.counters["pool_started"] = poolStarted;
  state.counters["bytes_new"] = newBytes;
  state.counters["bytes_refreshed"] = refreshedBytes;
}
BENCHMARK(BM_IdleCaches)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kronel_bench
