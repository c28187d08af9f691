#include "last_release_run.h"

#include <vector>

#include "kelsim.h"
#include "platform/module.h"
#include "ztrtsim.h"

namespace kronel_bench {
namespace {

std::string LeavingTarget(std::size_t i) { return "rt-leave-" + std::to_string(i); }

std::int32_t Call(std::uint32_t appRef) {
  hostbind::UHandle slot = nullptr;
  const std::int32_t answer = Plugin::Instance().GetIOControlNames(appRef, &slot);
  if (slot != nullptr) ztrtsimDisposeNameList(slot);
  return answer;
}

// Every reference has had its list, and every cache has stayed unchanged
// for 50 ms with no query begun meanwhile.
bool AllWritten(std::uint32_t refs) {
  std::vector<bool> written(refs + 1, false);
  std::uint32_t left = refs;
  if (!WaitFor(
          [&] {
            for (std::uint32_t ref = 1; ref <= refs; ++ref) {
              if (!written[ref] && Call(ref) == 0) {
                written[ref] = true;
                --left;
              }
            }
            return left == 0;
          },
          std::chrono::seconds(60))) {
    return false;
  }
  std::uint64_t queries = kelsimCallCount("FindHardware");
  auto quietSince = std::chrono::steady_clock::now();
  return WaitFor(
      [&] {
        bool unchanged = true;
        for (std::uint32_t ref = 1; ref <= refs; ++ref) unchanged = Call(ref) == 1 && unchanged;
        const std::uint64_t now = kelsimCallCount("FindHardware");
        if (!unchanged || now != queries) {
          queries = now;
          quietSince = std::chrono::steady_clock::now();
          return false;
        }
        return std::chrono::steady_clock::now() - quietSince >= std::chrono::milliseconds(50);
      },
      std::chrono::seconds(60));
}

}  // namespace

LastReleaseFigures MeasureLastRelease(std::size_t caches, std::uint64_t (*count)()) {
  LastReleaseFigures figures;
  const Plugin& plugin = Plugin::Instance();
  const auto refs = static_cast<std::uint32_t>(caches);
  kelsimReset();
  ztrtsimReset();
  std::string description = R"({"targets": {)";
  for (std::size_t i = 0; i < caches; ++i) {
    description +=
        (i > 0 ? ", \"" : "\"") + LeavingTarget(i) + R"(": {"records": [)" + MixedRecords(10) + "]}";
  }
  if (!LoadDescription(description + "}}", figures.error)) return figures;
  for (std::uint32_t ref = 1; ref <= refs; ++ref) {
    const std::string target = LeavingTarget(ref - 1);
    ztrtsimSetTargetURL(ref, target.c_str(), static_cast<std::int32_t>(target.size()));
  }
  if (!plugin.Loaded()) {
    figures.error = "the plug-in did not load";
    return figures;
  }
  plugin.SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
  if (!AllWritten(refs)) {
    figures.error = "not every target delivered its list";
  } else {
    figures.registrations = kelsimRegistrations();
    if (figures.registrations != caches) {
      figures.error = std::to_string(figures.registrations) + " registrations with the library, not " +
                      std::to_string(caches);
    }
  }
  // Every reference but the last goes first; the caches stay while one is left.
  for (std::uint32_t ref = 1; ref < refs; ++ref) plugin.ReleasingAppRef(ref);
  const std::uint64_t before = count != nullptr ? count() : 0;
  figures.call.begin = Now();
  plugin.ReleasingAppRef(refs);
  figures.call.end = Now();
  if (count != nullptr) figures.counted = count() - before;
  figures.microseconds = figures.call.Microseconds();
  const bool settled = kelsimWaitIdle(30000) == 1 &&
                       WaitFor([] { return kelsimRegistrations() == 0 && kelsimLiveObjects() == 0; },
                               std::chrono::seconds(30));
  figures.settledMs = static_cast<double>(Now() - figures.call.end) / 1e6;
  plugin.SetZTRTModule(nullptr);
  if (!settled && figures.error.empty()) figures.error = "the library did not settle after the release";
  return figures;
}

}  // namespace kronel_bench
