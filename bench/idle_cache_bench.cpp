// Idle caches: the threads they keep (none) and the heap each one holds,
// new and after its first refresh (then with its framework handle and its
// share of the library's objects).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include "kelsim.h"
#include "kronel/morrow_cache.h"
#include "process_stats.h"
#include "support.h"

namespace kronel_bench {
namespace {

void BM_IdleCaches(benchmark::State& state) {
  const std::size_t count = Smoke() ? 20 : 200;
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
  double threadsBefore = 0, threadsIdle = 0, newBytes = 0, refreshedBytes = 0;
  for (auto _ : state) {
    std::vector<boost::shared_ptr<kronel::MorrowCache>> caches;
    caches.reserve(count);
    threadsBefore = static_cast<double>(ThreadCount());
    const std::size_t heapBefore = HeapInUse();
    for (std::size_t i = 0; i < count; ++i) {
      caches.push_back(boost::make_shared<kronel::MorrowCache>("rt-" + std::to_string(i)));
    }
    const std::size_t heapNew = HeapInUse();
    for (auto& cache : caches) {
      cache->RequestRefresh();
      WaitFor([&] { return !cache->IsRefreshing(); });
    }
    // A worker ends just after it clears its flag.
    WaitFor([&] { return static_cast<double>(ThreadCount()) <= threadsBefore; }, std::chrono::seconds(2));
    threadsIdle = static_cast<double>(ThreadCount());
    const std::size_t heapIdle = HeapInUse();
    newBytes = static_cast<double>(heapNew - heapBefore) / static_cast<double>(count);
    refreshedBytes = static_cast<double>(heapIdle - heapBefore) / static_cast<double>(count);
    caches.clear();
    WaitFor([] { return kelsimLiveObjects() == 0; });
  }
  state.counters["caches"] = static_cast<double>(count);
  state.counters["threads_before"] = threadsBefore;
  state.counters["threads_idle"] = threadsIdle;
  state.counters["bytes_new"] = newBytes;
  state.counters["bytes_refreshed"] = refreshedBytes;
}
BENCHMARK(BM_IdleCaches)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kronel_bench
