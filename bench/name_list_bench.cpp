// WriteNameList into the simulated engine for 1,000, 10,000 and 100,000 names.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "hostbind/binder_exports.h"
#include "provider/name_list.h"
#include "support.h"
#include "ztrtsim.h"

namespace kronel_bench {
namespace {

void BM_WriteNameList(benchmark::State& state) {
  ztrtsimReset();
  SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
  std::vector<std::string> names;
  for (std::int64_t i = 0; i < state.range(0); ++i) names.push_back("Rack1Slot" + std::to_string(i));
  for (auto _ : state) {
    hostbind::UHandle slot = nullptr;
    if (provider::WriteNameList(names, &slot) != provider::kListWritten) {
      state.SkipWithError("the list was not written");
      break;
    }
    state.PauseTiming();
    ztrtsimDisposeNameList(slot);
    state.ResumeTiming();
  }
  SetZTRTModule(nullptr);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WriteNameList)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

template <class Fn>
Fn HostFunction(platform::ModuleHandle host, const char* name) {
  return reinterpret_cast<Fn>(platform::GetProcAddress(host, name));
}

// The host's own share: the same host calls, made directly, for the same list.
void BM_WriteNameListBare(benchmark::State& state) {
  ztrtsimReset();
  const platform::ModuleHandle host = platform::GetModuleHandleA("ztrt.dll");
  const auto newHandle = HostFunction<hostbind::DSNewHClrFn>(host, "DSNewHClr");
  const auto fromPtr = HostFunction<hostbind::LStrFromPtrFn>(host, "LStrFromPtr");
  const auto toSystem = HostFunction<hostbind::ConvertUTF8StringToSystemFn>(host, "ConvertUTF8StringToSystem");
  const auto setString = HostFunction<hostbind::ZtVariantPStrSetStringAttrFn>(host, "ZtVariantPStrSetStringAttr");
  const auto setNumber = HostFunction<hostbind::ZtVariantPStrSetUI32AttrFn>(host, "ZtVariantPStrSetUI32Attr");
  const auto dispose = HostFunction<hostbind::DSDisposeHandleFn>(host, "DSDisposeHandle");
  if (!newHandle || !fromPtr || !toSystem || !setString || !setNumber || !dispose) {
    state.SkipWithError("the engine lacks a host function");
    return;
  }
  static const unsigned char kName[] = {1, 'n', 'a', 'm', 'e', 0}, kFlag[] = {1, 'f', 'l', 'a', 'g', 0},
                             kGlyph[] = {1, 'g', 'l', 'y', 'p', 'h', 0}, kId[] = {2, 'i', 'd', 0};
  std::vector<std::string> names;
  for (std::int64_t i = 0; i < state.range(0); ++i) names.push_back("Rack1Slot" + std::to_string(i));
  const std::size_t n = names.size();
  for (auto _ : state) {
    hostbind::UHandle list = newHandle(8 * n + 24);
    auto element = [&](std::size_t i) {
      return reinterpret_cast<hostbind::ZtVariantPtr*>(static_cast<unsigned char*>(*list) + 8 + 8 * i);
    };
    for (std::size_t i = 0; i < n; ++i) {
      hostbind::LStrHandle raw = nullptr, text = nullptr;
      fromPtr(&raw, static_cast<std::int32_t>(names[i].size()),
              reinterpret_cast<const unsigned char*>(names[i].data()));
      toSystem(raw, &text);
      dispose(reinterpret_cast<hostbind::UHandle>(raw));
      setString(element(i), kName, text);
      setNumber(element(i), kFlag, 0x30000);
      dispose(reinterpret_cast<hostbind::UHandle>(text));
    }
    setNumber(element(n), kGlyph, 0xFFFFFFFF);
    setNumber(element(n), kId, 0xFFFFFFFF);
    setNumber(element(n), kFlag, 0x30000);
    setNumber(element(n + 1), kId, 3);
    setNumber(element(n + 1), kFlag, 0x30000);
    const auto count = static_cast<std::int32_t>(n + 2);
    std::memcpy(*list, &count, sizeof count);
    state.PauseTiming();
    ztrtsimDisposeNameList(list);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_WriteNameListBare)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kronel_bench
