// A host call through the binder's forwarding entry against a direct call
// through a function pointer to the same host function.
#include <benchmark/benchmark.h>

#include "hostbind/binder_exports.h"
#include "hostbind/host_runtime.h"
#include "support.h"
#include "ztrtsim.h"

namespace kronel_bench {
namespace {

constexpr std::uint32_t kAppRef = 1;

platform::ModuleHandle Host(bool trivial) {
  // Loaded once and kept: the binder's slots remember it.
  static platform::ModuleHandle stub = platform::LoadLibraryA("bench_host.dll");
  if (!trivial) {
    ztrtsimReset();
    ztrtsimSetTargetURL(kAppRef, "rt-bench", 8);
    return platform::GetModuleHandleA("ztrt.dll");
  }
  return stub;
}

void Bound(benchmark::State& state, bool trivial) {
  platform::ModuleHandle host = Host(trivial);
  if (host == nullptr) {
    state.SkipWithError("no host module");
    return;
  }
  SetZTRTModule(host);
  for (auto _ : state) {
    hostbind::LStrHandle url = nullptr;
    benchmark::DoNotOptimize(hostbind::TargetURL(kAppRef, &url));
    benchmark::DoNotOptimize(url);
  }
  SetZTRTModule(nullptr);
}

void Direct(benchmark::State& state, bool trivial) {
  platform::ModuleHandle host = Host(trivial);
  hostbind::TargetURLFn volatile call =
      host == nullptr ? nullptr : reinterpret_cast<hostbind::TargetURLFn>(platform::GetProcAddress(host, "TargetURL"));
  if (call == nullptr) {
    state.SkipWithError("no TargetURL in the host module");
    return;
  }
  for (auto _ : state) {
    hostbind::LStrHandle url = nullptr;
    benchmark::DoNotOptimize(call(kAppRef, &url));
    benchmark::DoNotOptimize(url);
  }
}

void BM_BoundHostCallTrivial(benchmark::State& state) { Bound(state, true); }
void BM_DirectHostCallTrivial(benchmark::State& state) { Direct(state, true); }
void BM_BoundHostCallZtrt(benchmark::State& state) { Bound(state, false); }
void BM_DirectHostCallZtrt(benchmark::State& state) { Direct(state, false); }
BENCHMARK(BM_BoundHostCallTrivial);
BENCHMARK(BM_DirectHostCallTrivial);
BENCHMARK(BM_BoundHostCallZtrt);
BENCHMARK(BM_DirectHostCallZtrt);

}  // namespace
}  // namespace kronel_bench
