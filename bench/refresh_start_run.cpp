#include "refresh_start_run.h"

#include <cstdint>
#include <thread>

#include "kelsim.h"
#include "platform/module.h"
#include "support.h"
#include "thread_count.h"
#include "thread_start.h"
#include "ztrtsim.h"

namespace kronel_bench {
namespace {

// The forcing calls' reference, and the baseline's: a target of its own,
// so that its answer stays 1 whatever the other's refresh does.
constexpr std::uint32_t kAppRef = 1, kOtherRef = 2;
const char kOtherTarget[] = "rt-bench-other";
// The references of the first calls, one new target each.
constexpr std::uint32_t kFirstRefs = 1000;

std::string FirstTarget(std::size_t i) { return "rt-first-" + std::to_string(i); }

// The plug-in the run goes through.
const Plugin* g_plugin = nullptr;

std::int32_t Call(std::uint32_t appRef, std::int32_t force = 0) {
  hostbind::UHandle slot = nullptr;
  const std::int32_t answer = g_plugin->GetIOControlNames(appRef, &slot, force);
  if (slot != nullptr) ztrtsimDisposeNameList(slot);
  return answer;
}

template <class Work>
double Timed(Work work, Span* noted = nullptr) {
  Span span;
  span.begin = Now();
  work();
  span.end = Now();
  if (noted != nullptr) *noted = span;
  return span.Microseconds();
}

// Until the refresh a call started has delivered its list. False when a call
// on the way answered 2: the refresh the call asked for was not the one it
// started, as the last one was still ending.
bool RefreshDelivered(std::uint32_t appRef, bool& intact) {
  intact = true;
  std::int32_t answer = -1;
  const bool delivered = WaitFor([&] {
    answer = Call(appRef);
    if (answer == 2) intact = false;
    return answer == 0;
  });
  // The worker clears its flag just after the list is in place.
  Pause(std::chrono::microseconds(200));
  return delivered;
}

// Until the reference has had its list and then stayed unchanged, with no
// query begun, for a few milliseconds.
bool Quiet(std::uint32_t appRef) {
  bool written = false;
  std::uint64_t queries = kelsimCallCount("FindHardware");
  auto quietSince = std::chrono::steady_clock::now();
  return WaitFor([&] {
    const std::int32_t answer = Call(appRef);
    written = written || answer == 0;
    const std::uint64_t now = kelsimCallCount("FindHardware");
    if (answer != 1 || now != queries) {
      queries = now;
      quietSince = std::chrono::steady_clock::now();
      return false;
    }
    return written && std::chrono::steady_clock::now() - quietSince >= std::chrono::milliseconds(5);
  });
}

bool Settle(std::string& error) {
  const bool idle = kelsimWaitIdle(30000) == 1;
  const bool settled = idle && WaitFor([] { return kelsimLiveObjects() == 0 && kelsimRegistrations() == 0; },
                                       std::chrono::seconds(30));
  g_plugin->SetZTRTModule(nullptr);
  if (!settled && error.empty()) {
    error =
        "the library did not settle in 30 s: " + std::string(idle ? "" : "callbacks or releases pending, ") +
        std::to_string(kelsimRegistrations()) + " registrations, " + std::to_string(kelsimLiveObjects()) +
        " objects left";
  }
  return settled;
}

bool SetUp(std::size_t firstTargets, std::string& error) {
  kelsimReset();
  ztrtsimReset();
  std::string targets = R"({"targets": {")" + std::string(kTarget) + R"(": {"records": [)" +
                        MixedRecords(20) + R"(]}, ")" + kOtherTarget + R"(": {"records": [)" +
                        MixedRecords(20) + "]}";
  for (std::size_t i = 0; i < firstTargets; ++i) {
    targets += R"(, ")" + FirstTarget(i) + R"(": {"records": [)" + MixedRecords(4) + "]}";
  }
  if (!LoadDescription(targets + "}}", error)) return false;
  ztrtsimSetTargetURL(kAppRef, kTarget, static_cast<std::int32_t>(std::string(kTarget).size()));
  ztrtsimSetTargetURL(kOtherRef, kOtherTarget, static_cast<std::int32_t>(sizeof kOtherTarget - 1));
  for (std::size_t i = 0; i < firstTargets; ++i) {
    const std::string target = FirstTarget(i);
    ztrtsimSetTargetURL(kFirstRefs + static_cast<std::uint32_t>(i), target.c_str(),
                        static_cast<std::int32_t>(target.size()));
  }
  if (!g_plugin->Loaded()) {
    error = "the plug-in did not load";
    return false;
  }
  g_plugin->SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
  if (!PollUntilWritten(*g_plugin, kAppRef) || !PollUntilWritten(*g_plugin, kOtherRef)) {
    error = "no list arrived";
    return false;
  }
  return true;
}

}  // namespace

RefreshStartFigures MeasureRefreshStart(const Plugin& plugin, std::size_t samples) {
  g_plugin = &plugin;
  RefreshStartFigures figures;
  if (SetUp(samples, figures.error)) {
    // Neither the pool nor the thread start is met for the first time in a sample.
    SubmitNothing();
    ThreadStartMicroseconds();
    for (std::size_t i = 0, tries = 0; i < samples && figures.error.empty(); ++tries) {
      if (tries > 3 * samples) {
        figures.error = "the forcing calls kept meeting a refresh still ending";
        break;
      }
      double baseline = -1, forced = -1, thread = -1, first = -1;
      std::int32_t unchanged = -1, forcedAnswer = -1, firstAnswer = -1;
      bool submitted = false;
      Span forcedCall;
      // The three in every order in turn: the first of them to wake an idle
      // core after the pause pays more than the next, which finds it awake.
      static const int kOrders[6][3] = {{0, 1, 2}, {1, 0, 2}, {2, 0, 1}, {2, 1, 0}, {0, 2, 1}, {1, 2, 0}};
      for (const int which : kOrders[i % 6]) {
        if (which == 0) {
          baseline = Timed([&] {
            unchanged = Call(kOtherRef);
            submitted = SubmitNothing();
          });
        } else if (which == 1) {
          forced = Timed([&] { forcedAnswer = Call(kAppRef, 1); }, &forcedCall);
        } else {
          thread = ThreadStartMicroseconds();
        }
      }
      bool intact = true;
      if (!RefreshDelivered(kAppRef, intact)) {
        figures.error = "the forced refresh delivered no list";
        break;
      }
      if (unchanged != 1 || !submitted) {
        figures.error = "the baseline's call answered " + std::to_string(unchanged) +
                        (submitted ? "" : " and the pool took no work");
        break;
      }
      if (forcedAnswer != 2) {
        figures.error = "the forcing call answered " + std::to_string(forcedAnswer) + ", not 2";
        break;
      }
      if (thread < 0) {
        figures.error = "no thread could be started";
        break;
      }
      if (!intact) {
        ++figures.retried;
        continue;
      }
      const std::uint32_t firstRef = kFirstRefs + static_cast<std::uint32_t>(i);
      first = Timed([&] { firstAnswer = Call(firstRef); });
      // The calls that wait for its list may ask for one refresh more.
      if (!Quiet(firstRef)) {
        figures.error = "the first refresh of " + FirstTarget(i) + " delivered no list";
      } else if (firstAnswer != 2) {
        figures.error = "the first call for a target answered " + std::to_string(firstAnswer) + ", not 2";
      } else {
        figures.baseline.push_back(baseline);
        figures.forced.push_back(forced);
        figures.first.push_back(first);
        figures.threadStart.push_back(thread);
        figures.forcedCalls.push_back(forcedCall);
        ++i;
      }
    }
  }
  plugin.ReleasingAppRef(kAppRef);
  plugin.ReleasingAppRef(kOtherRef);
  for (std::size_t i = 0; i < samples; ++i)
    plugin.ReleasingAppRef(kFirstRefs + static_cast<std::uint32_t>(i));
  Settle(figures.error);
  return figures;
}

IdlePoolStart MeasureRefreshStartAfterIdle(std::chrono::milliseconds idle) {
  g_plugin = &Plugin::Instance();
  IdlePoolStart figures;
  if (SetUp(0, figures.error)) {
    std::this_thread::sleep_for(idle);
    std::int32_t answer = -1;
    figures.threadsBefore = static_cast<long>(test_support::ProcessThreadCount());
    figures.call = Timed([&] { answer = Call(kAppRef, 1); });
    figures.threadsAfter = static_cast<long>(test_support::ProcessThreadCount());
    figures.threadStart = ThreadStartMicroseconds();
    bool intact = true;
    if (answer != 2) {
      figures.error = "the forcing call answered " + std::to_string(answer) + ", not 2";
    } else if (!RefreshDelivered(kAppRef, intact)) {
      figures.error = "the forced refresh delivered no list";
    }
  }
  g_plugin->ReleasingAppRef(kAppRef);
  g_plugin->ReleasingAppRef(kOtherRef);
  Settle(figures.error);
  return figures;
}

}  // namespace kronel_bench
