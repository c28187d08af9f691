#include "loader_lock_run.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "kelsim.h"
#include "loader_lock_holder.h"
#include "platform/module.h"
#include "support.h"
#include "thread_starts.h"
#include "ztrtsim.h"

namespace kronel_bench {
namespace {

constexpr std::uint32_t kAppRef = 1, kFarRef = 2;
const char kFarTarget[] = "rt-bench-far";
// Long enough that the worker is still inside FindHardware when the last release is made.
constexpr std::uint32_t kInFlightMs = 300;

DWORD WINAPI Nothing(void*) { return 0; }

// The baseline; negative when no thread could be made.
double CreateThreadMicroseconds() {
  Span span;
  span.begin = Now();
  HANDLE thread = ::CreateThread(nullptr, 0, &Nothing, nullptr, 0, nullptr);
  if (thread == nullptr) return -1;
  ::CloseHandle(thread);
  span.end = Now();
  return span.Microseconds();
}

// One round's pair: the baseline and the call, in turns first, while the
// lock is held. The call must have started a thread of the plug-in's.
template <class Call>
bool MeasureHeld(test_support::LoaderLockHolder& holder, int round, Call call,
                 HeldFigures& figures) {
  if (!holder.Hold()) {
    holder.Finish();
    figures.error = "no thread got into the lock holder's DllMain";
    return false;
  }
  TakeThreadStarts();
  double baseline = 0;
  holder.Arm();
  if (round % 2 == 0) baseline = CreateThreadMicroseconds();
  Span span;
  span.begin = Now();
  call();
  span.end = Now();
  if (round % 2 != 0) baseline = CreateThreadMicroseconds();
  const bool waited = !holder.Disarm();
  holder.Finish();
  const std::vector<Span> starts = TakeThreadStarts();
  const bool started = !ThreadStartsTimed() || std::any_of(starts.begin(), starts.end(), [&](const Span& start) {
    return span.Overlaps(start);
  });
  if (waited) {
    figures.error = "the call waited for the loader lock";
  } else if (baseline < 0) {
    figures.error = "CreateThread failed";
  } else if (!started) {
    figures.error = "the call started no thread";
  } else {
    figures.calls.push_back(span.Microseconds());
    figures.createThreads.push_back(baseline);
  }
  return figures.error.empty();
}

// The library idle and every object of it gone: the plug-in's threads have left it.
bool Settle(HeldFigures& figures) {
  const bool settled = kelsimWaitIdle(30000) == 1 && WaitFor([] {
                         return kelsimLiveObjects() == 0 && kelsimRegistrations() == 0;
                       }, std::chrono::seconds(30));
  Plugin::Instance().SetZTRTModule(nullptr);
  if (!settled && figures.error.empty()) figures.error = "the library did not settle after a round";
  return settled;
}

bool Started(std::uint32_t refs, HeldFigures& figures) {
  if (!SetUpTarget(refs, figures.error)) return false;
  Plugin::Instance().SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
  return true;
}

// True when the round was measured with the worker still inside the library.
bool LastReleaseRound(test_support::LoaderLockHolder& holder, int round,
                      const std::string& description, HeldFigures& figures) {
  const Plugin& plugin = Plugin::Instance();
  if (!LoadDescription(description, figures.error)) return false;
  ztrtsimSetTargetURL(kFarRef, kFarTarget, static_cast<std::int32_t>(sizeof kFarTarget - 1));
  if (!PollUntilWritten(kAppRef) || !PollUntilWritten(kFarRef)) {
    figures.error = "no list arrived";
    return false;
  }
  char error[256] = "";
  if (kelsimSetLatency("FindHardware", kInFlightMs, error, sizeof error) != 0) {
    figures.error = error;
    return false;
  }
  bool inFlight = false;
  const std::uint64_t queries = kelsimCallCount("FindHardware");
  hostbind::UHandle slot = nullptr;
  if (plugin.GetIOControlNames(kAppRef, &slot, 1) != 2 ||
      !WaitFor([&] { return kelsimCallCount("FindHardware") > queries; })) {
    figures.error = "the forced refresh did not reach the library";
  } else {
    const std::int64_t inLibrary = Now();
    plugin.ReleasingAppRef(kFarRef);
    std::int64_t released = 0;
    if (MeasureHeld(holder, round, [&] {
          plugin.ReleasingAppRef(kAppRef);
          released = Now();
        }, figures)) {
      // Half the delay: seeing the count may itself have come late.
      inFlight = released - inLibrary < std::int64_t{kInFlightMs} * 1000000 / 2;
      if (!inFlight) {
        figures.calls.pop_back();
        figures.createThreads.pop_back();
      }
    }
  }
  kelsimSetLatency("FindHardware", 0, error, sizeof error);
  return inFlight;
}

}  // namespace

HeldFigures RefreshStartWhileHeld(int rounds) {
  HeldFigures figures;
  test_support::LoaderLockHolder holder;
  const Plugin& plugin = Plugin::Instance();
  for (int round = 0; round < rounds && figures.error.empty(); ++round) {
    if (!Started(1, figures)) break;
    if (!PollUntilWritten(kAppRef)) {
      figures.error = "no list arrived";
    } else {
      std::int32_t answer = -1;
      if (MeasureHeld(holder, round, [&] {
            hostbind::UHandle slot = nullptr;
            answer = plugin.GetIOControlNames(kAppRef, &slot, 1);
          }, figures) && answer != 2) {
        figures.error = "the forced call answered " + std::to_string(answer) + ", not 2";
      }
    }
    TearDownTarget(1);
    Settle(figures);
  }
  return figures;
}

HeldFigures LastReleaseWhileHeld(int rounds) {
  HeldFigures figures;
  test_support::LoaderLockHolder holder;
  const std::string description = R"({"targets": {")" + std::string(kTarget) + R"(": {"records": [)" +
                                  MixedRecords(20) + R"(]}, ")" + kFarTarget + R"(": {"records": [)" +
                                  MixedRecords(10) + "]}}}";
  // A round whose worker may have left the library before the release is made again.
  for (int round = 0, tries = 0; round < rounds && figures.error.empty() && tries < 2 * rounds; ++tries) {
    if (!Started(kFarRef, figures)) break;
    const bool inFlight = LastReleaseRound(holder, round, description, figures);
    TearDownTarget(kFarRef);
    Settle(figures);
    if (inFlight) ++round;
  }
  if (figures.error.empty() && static_cast<int>(figures.calls.size()) < rounds) {
    figures.error = "the worker kept leaving the library before the release";
  }
  return figures;
}

}  // namespace kronel_bench
