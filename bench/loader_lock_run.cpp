#include "loader_lock_run.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "kelsim.h"
#include "loader_lock_holder.h"
#include "platform/module.h"
#include "pool_submissions.h"
#include "support.h"
#include "thread_start.h"
#include "ztrtsim.h"

namespace kronel_bench {
namespace {

constexpr std::uint32_t kAppRef = 1, kFarRef = 2;
const char kFarTarget[] = "rt-bench-far";
// Long enough that the worker is still inside FindHardware when the last release is made.
constexpr std::uint32_t kInFlightMs = 300;

template <class Work>
double Timed(Work work) {
  Span span;
  span.begin = Now();
  work();
  span.end = Now();
  return span.Microseconds();
}

// One round's three, while the lock is held: the baseline (negative when it
// failed), the call and the thread start, the thread start first or last in
// turns. The call must have handed work to the pool and started no thread.
template <class Baseline, class Call>
bool MeasureHeld(test_support::LoaderLockHolder& holder, int round, Baseline baseline, Call call,
                 HeldFigures& figures) {
  if (!holder.Hold()) {
    holder.Finish();
    figures.error = "no thread got into the lock holder's DllMain";
    return false;
  }
  TakePoolSubmissions();
  const std::uint64_t threadStarts = ThreadStartsMade();
  double base = 0, thread = 0;
  holder.Arm();
  if (round % 2 == 0) thread = ThreadStartMicroseconds();
  base = baseline();
  const std::uint64_t kernelCalls = KernelObjectCalls();
  Span span;
  span.begin = Now();
  call();
  span.end = Now();
  const std::uint64_t callsKernel = KernelObjectCalls() - kernelCalls;
  if (round % 2 != 0) thread = ThreadStartMicroseconds();
  const bool waited = !holder.Disarm();
  holder.Finish();
  double submitting = 0;
  bool submitted = !PoolSubmissionsTimed();
  for (const Span& submission : TakePoolSubmissions()) {
    if (!span.Overlaps(submission)) continue;
    submitted = true;
    submitting += submission.Microseconds();
  }
  if (waited) {
    figures.error = "the call waited for the loader lock";
  } else if (base < 0) {
    figures.error = "the baseline failed: " + figures.baseline;
  } else if (thread < 0) {
    figures.error = "CreateThread failed";
  } else if (!submitted) {
    figures.error = "the call handed no work to the pool";
  } else if (ThreadStartsMade() != threadStarts) {
    figures.error = "the plug-in started a thread";
  } else {
    figures.calls.push_back(span.Microseconds());
    figures.baselines.push_back(base);
    figures.threadStarts.push_back(thread);
    figures.submitting.push_back(submitting);
    figures.kernelObjectCalls.push_back(static_cast<double>(callsKernel));
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
    auto submission = [] {
      bool submitted = false;
      const double us = Timed([&] { submitted = SubmitNothing(); });
      return submitted ? us : -1.0;
    };
    if (MeasureHeld(holder, round, submission, [&] {
          plugin.ReleasingAppRef(kAppRef);
          released = Now();
        }, figures)) {
      // Half the delay: seeing the count may itself have come late.
      inFlight = released - inLibrary < std::int64_t{kInFlightMs} * 1000000 / 2;
      if (!inFlight) {
        figures.calls.pop_back();
        figures.baselines.pop_back();
        figures.threadStarts.pop_back();
        figures.submitting.pop_back();
        figures.kernelObjectCalls.pop_back();
      }
    }
  }
  kelsimSetLatency("FindHardware", 0, error, sizeof error);
  return inFlight;
}

}  // namespace

HeldFigures RefreshStartWhileHeld(int rounds) {
  HeldFigures figures;
  figures.baseline = "answer 1 + SubmitWork(no-op)";
  test_support::LoaderLockHolder holder;
  const Plugin& plugin = Plugin::Instance();
  for (int round = 0; round < rounds && figures.error.empty(); ++round) {
    if (!Started(1, figures)) break;
    if (!PollUntilWritten(kAppRef)) {
      figures.error = "no list arrived";
    } else {
      std::int32_t answer = -1, unchanged = -1;
      auto answerAndSubmission = [&] {
        bool submitted = false;
        const double us = Timed([&] {
          hostbind::UHandle slot = nullptr;
          unchanged = plugin.GetIOControlNames(kAppRef, &slot);
          submitted = SubmitNothing();
        });
        return unchanged == 1 && submitted ? us : -1.0;
      };
      if (MeasureHeld(holder, round, answerAndSubmission, [&] {
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
  figures.baseline = "SubmitWork(no-op)";
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
