// One refresh of a cache over 10,000 records from a library without delay,
// with the library calls it makes per record: over a mixed set, and over
// records that all fail the status rule.
#include <benchmark/benchmark.h>

#include <boost/make_shared.hpp>

#include "kelsim.h"
#include "kronel/morrow_cache.h"
#include "morrowkit/interfaces.h"
#include "support.h"

namespace kronel_bench {
namespace {

constexpr std::uint32_t kStatus = 0x1024000;

const char* const kPropertyReads[] = {"HasProperty", "GetType",  "GetBool",   "GetInt16", "GetUInt16",
                                      "GetInt32",    "GetUInt32", "GetInt64", "GetString", "GetDouble",
                                      "GetCount",    "GetTagAt"};
const char* const kOtherCalls[] = {"kelsysInstantiateFramework2", "QueryInterface", "FindHardware",
                                   "SetNotificationHandler", "Next", "Skip", "Reset", "Clone"};

std::uint64_t Sum(const char* const* names, std::size_t count) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += kelsimCallCount(names[i]);
  return sum;
}
std::uint64_t PropertyReads() { return Sum(kPropertyReads, std::size(kPropertyReads)); }
std::uint64_t AllCalls() { return PropertyReads() + Sum(kOtherCalls, std::size(kOtherCalls)); }

bool RefreshAndWait(kronel::MorrowCache& cache) {
  const std::uint32_t version = cache.GetVersion();
  cache.RequestRefresh();
  return WaitFor([&] { return !cache.IsRefreshing(); }) && cache.GetVersion() != version;
}

void Refresh(benchmark::State& state, const std::string& records, std::size_t count) {
  kelsimReset();
  std::string error;
  if (!LoadDescription(Description("", records), error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  auto cache = boost::make_shared<kronel::MorrowCache>("");
  // The first refresh also connects and registers; the figure is for the ones after it.
  if (!RefreshAndWait(*cache)) {
    state.SkipWithError("the first refresh failed");
    return;
  }
  std::uint64_t reads = 0, calls = 0, refreshes = 0;
  for (auto _ : state) {
    const std::uint64_t readsBefore = PropertyReads(), callsBefore = AllCalls();
    if (!RefreshAndWait(*cache)) {
      state.SkipWithError("a refresh failed");
      break;
    }
    reads += PropertyReads() - readsBefore;
    calls += AllCalls() - callsBefore;
    ++refreshes;
  }
  cache.reset();
  WaitFor([] { return kelsimLiveObjects() == 0; });
  if (refreshes == 0) return;
  const double perRecord = static_cast<double>(count * refreshes);
  state.counters["records"] = static_cast<double>(count);
  state.counters["reads_per_record"] = static_cast<double>(reads) / perRecord;
  state.counters["calls_per_record"] = static_cast<double>(calls) / perRecord;
  state.SetItemsProcessed(static_cast<std::int64_t>(count * refreshes));
}

std::size_t RecordCount() { return Smoke() ? 1000 : 10000; }

void BM_RefreshMixed(benchmark::State& state) { Refresh(state, MixedRecords(RecordCount()), RecordCount()); }
BENCHMARK(BM_RefreshMixed)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string StatusFailRecords() {
  std::string records;
  for (std::size_t i = 0; i < RecordCount(); ++i) {
    records += (i > 0 ? ",\n" : "") + std::string(R"({"status": 0, "modelCode": "0x7066", "resourceName": "Off)") +
               std::to_string(i) + R"("})";
  }
  return records;
}

void BM_RefreshStatusFails(benchmark::State& state) { Refresh(state, StatusFailRecords(), RecordCount()); }
BENCHMARK(BM_RefreshStatusFails)->Unit(benchmark::kMillisecond)->UseRealTime();

// The library's own share: the calls the cache makes for a record that fails
// the status rule (Next, QueryInterface, HasProperty, GetInt32), made bare.
void BM_RefreshStatusFailsBare(benchmark::State& state) {
  kelsimReset();
  std::string error;
  if (!LoadDescription(Description("", StatusFailRecords()), error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  morrowkit::IqvSysFramework* framework = nullptr;
  if (kelsysInstantiateFramework2(1, 1, &framework) != 0 || framework == nullptr) {
    state.SkipWithError("no framework");
    return;
  }
  const platform::WideChar local[] = {0};
  std::uint64_t calls = 0, records = 0;
  for (auto _ : state) {
    const std::uint64_t before = AllCalls();
    morrowkit::IqvSysEnumUnknown* found = nullptr;
    if (framework->FindHardware(local, &found) != 0 || found == nullptr) {
      state.SkipWithError("FindHardware failed");
      break;
    }
    morrowkit::IUnknown* item = nullptr;
    while (found->Next(1, &item, nullptr) == 0 && item != nullptr) {
      morrowkit::IqvSysPropertyBag* bag = nullptr;
      if (item->QueryInterface(morrowkit::kIID_IqvSysPropertyBag, reinterpret_cast<void**>(&bag)) == 0) {
        std::int32_t status = 0;
        if (bag->HasProperty(kStatus) == 0) bag->GetInt32(kStatus, &status);
        benchmark::DoNotOptimize(status);
        bag->Release();
      }
      item->Release();
      ++records;
    }
    found->Release();
    calls += AllCalls() - before;
  }
  framework->Release();
  WaitFor([] { return kelsimLiveObjects() == 0; });
  if (records == 0) return;
  state.counters["records"] = static_cast<double>(RecordCount());
  state.counters["calls_per_record"] = static_cast<double>(calls) / static_cast<double>(records);
}
BENCHMARK(BM_RefreshStatusFailsBare)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kronel_bench
