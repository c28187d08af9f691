#include "healing_run.h"

#include <chrono>
#include <initializer_list>
#include <memory>

#include "fake_clock.h"
#include "kelsim.h"
#include "platform/module.h"
#include "platform/work_pool.h"
#include "thread_start.h"
#include "tracked_work.h"
#include "ztrtsim.h"

namespace kronel_bench {
namespace {

using test_support::TrackedWork;
using test_support::TrackingWork;

constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);

// Two targets with names of one length, so that neither call hashes or
// compares more than the other.
constexpr std::uint32_t kHealthyRef = 1, kWaitingRef = 2;
const char kHealthyTarget[] = "rt-healthy";
const char kWaitingTarget[] = "rt-waiting";

// The longest first back-off is 1 s + 20 %.
constexpr std::int64_t kPastFirstBackoffMs = 1250;

struct Answer {
  std::int32_t result = -1;
  std::int32_t entries = 0;  // of the list written, two more than its names
};

Answer Ask(const Plugin& plugin, std::uint32_t appRef, std::int32_t force = 0) {
  hostbind::UHandle slot = nullptr;
  Answer answer;
  answer.result = plugin.GetIOControlNames(appRef, &slot, force);
  if (slot != nullptr) {
    answer.entries = ztrtsimListCount(slot);
    ztrtsimDisposeNameList(slot);
  }
  return answer;
}

std::int32_t Call(const Plugin& plugin, std::uint32_t appRef, std::int32_t force = 0) {
  return Ask(plugin, appRef, force).result;
}

template <class Work>
double Timed(Work work) {
  const std::int64_t begin = Now();
  work();
  return static_cast<double>(Now() - begin) / 1e3;
}

bool Fail(const char* operation, std::string& error) {
  char message[256] = "";
  if (kelsimSetFailure(operation, 0, kEFail, message, sizeof message) == 0) return true;
  error = message;
  return false;
}

// On both of the first library calls a refresh can make.
void SetLatency(std::uint32_t milliseconds) {
  kelsimSetLatency("kelsysInstantiateFramework2", milliseconds, nullptr, 0);
  kelsimSetLatency("FindHardware", milliseconds, nullptr, 0);
}

std::uint64_t Frameworks() { return kelsimCallCount("kelsysInstantiateFramework2"); }
std::uint64_t Queries() { return kelsimCallCount("FindHardware"); }

// Holds the work submitted while it is installed, for the pool after the timing.
class KeptBack {
 public:
  static bool Submit(platform::WorkEntry entry, void* argument) noexcept {
    if (count_ == kCapacity) return false;
    items_[count_++] = Item{entry, argument};
    return true;
  }
  static void Release() noexcept {
    for (std::size_t i = 0; i < count_; ++i) platform::SubmitToPool(items_[i].entry, items_[i].argument);
    count_ = 0;
  }

 private:
  struct Item {
    platform::WorkEntry entry;
    void* argument;
  };
  static constexpr std::size_t kCapacity = 4;
  static Item items_[kCapacity];
  static std::size_t count_;
};
KeptBack::Item KeptBack::items_[KeptBack::kCapacity];
std::size_t KeptBack::count_ = 0;

// Until the tracked work and the library's callbacks have all ended,
// including work that callbacks started.
bool SettleTracked() {
  return WaitFor([] { return TrackedWork::Idle() && kelsimWaitIdle(0) == 1 && TrackedWork::Idle(); },
                 std::chrono::seconds(30));
}

// Until the library has not been called, nor an object of it released, for `quiet`.
bool LibraryQuiet(std::chrono::milliseconds quiet) {
  auto state = [] { return Frameworks() + 7 * Queries() + 31 * kelsimLiveObjects(); };
  std::uint64_t last = state();
  auto quietSince = std::chrono::steady_clock::now();
  return WaitFor([&] {
    const std::uint64_t now = state();
    if (now != last) {
      last = now;
      quietSince = std::chrono::steady_clock::now();
      return false;
    }
    return std::chrono::steady_clock::now() - quietSince >= quiet;
  });
}

// Until the reference's answer has been 1 for a few milliseconds with no query begun.
bool Quiet(const Plugin& plugin, std::uint32_t appRef) {
  std::uint64_t queries = Queries();
  auto quietSince = std::chrono::steady_clock::now();
  return WaitFor([&] {
    const std::int32_t answer = Call(plugin, appRef);
    const std::uint64_t now = Queries();
    if (answer != 1 || now != queries) {
      queries = now;
      quietSince = std::chrono::steady_clock::now();
      return false;
    }
    return std::chrono::steady_clock::now() - quietSince >= std::chrono::milliseconds(5);
  });
}

// Until the reference was given a list with names (answer 0), then quiet.
bool Delivered(const Plugin& plugin, std::uint32_t appRef) {
  return WaitFor([&] {
           const Answer answer = Ask(plugin, appRef);
           return answer.result == 0 && answer.entries > 2;
         }) &&
         Quiet(plugin, appRef);
}

std::string Records(const char* target) {
  return R"(")" + std::string(target) + R"(": {"records": [)" + MixedRecords(20) + "]}";
}

bool SetUpTwo(const Plugin& plugin, std::string& error) {
  kelsimReset();
  ztrtsimReset();
  if (!LoadDescription(R"({"targets": {)" + Records(kHealthyTarget) + ", " + Records(kWaitingTarget) + "}}",
                       error)) {
    return false;
  }
  ztrtsimSetTargetURL(kHealthyRef, kHealthyTarget, static_cast<std::int32_t>(sizeof kHealthyTarget - 1));
  ztrtsimSetTargetURL(kWaitingRef, kWaitingTarget, static_cast<std::int32_t>(sizeof kWaitingTarget - 1));
  if (!plugin.Loaded()) {
    error = "the plug-in did not load";
    return false;
  }
  plugin.SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
  if (!PollUntilWritten(plugin, kHealthyRef) || !PollUntilWritten(plugin, kWaitingRef)) {
    error = "no list arrived";
    return false;
  }
  return true;
}

void TearDown(const Plugin& plugin, std::initializer_list<std::uint32_t> refs, std::string& error) {
  kelsimClearFailures();
  for (const std::uint32_t ref : refs) plugin.ReleasingAppRef(ref);
  const bool settled = kelsimWaitIdle(30000) == 1 &&
                       WaitFor([] { return kelsimLiveObjects() == 0 && kelsimRegistrations() == 0; },
                               std::chrono::seconds(30));
  plugin.SetZTRTModule(nullptr);
  if (!settled && error.empty()) error = "the library did not settle in 30 s";
}

}  // namespace

WaitingAnswerFigures MeasureWaitingAnswer(std::size_t batches, std::size_t callsPerBatch) {
  const Plugin& plugin = Plugin::Instance();
  WaitingAnswerFigures figures;
  std::string& error = figures.error;
  if (SetUpTwo(plugin, error) && Fail("FindHardware", error)) {
    const std::int64_t forcedAt = Now();
    if (Call(plugin, kWaitingRef, 1) != 2) {
      error = "the forcing call did not answer 2";
    } else if (!LibraryQuiet(std::chrono::milliseconds(20))) {
      error = "the failing refresh did not end";
    }
    const std::uint64_t frameworks = Frameworks(), queries = Queries();
    const std::uint64_t failures = kelsimFailureCount();
    if (error.empty() && failures == 0) error = "the forced refresh met no failure";
    std::int32_t other = 1;
    auto batch = [&](std::uint32_t appRef) {
      const std::int64_t begin = Now();
      for (std::size_t i = 0; i < callsPerBatch; ++i) {
        hostbind::UHandle slot = nullptr;
        const std::int32_t answer = plugin.GetIOControlNames(appRef, &slot);
        if (answer != 1) other = answer;
      }
      return static_cast<double>(Now() - begin) / static_cast<double>(callsPerBatch);
    };
    for (std::size_t b = 0; b < batches && error.empty(); ++b) {
      // Each target under each reference in turn, as the engine's and the
      // plug-in's look-ups of a reference cost a little more for one of
      // them; and each first in turn.
      const bool swapped = b % 2 != 0;
      const std::uint32_t healthyRef = swapped ? kWaitingRef : kHealthyRef;
      const std::uint32_t waitingRef = swapped ? kHealthyRef : kWaitingRef;
      ztrtsimSetTargetURL(healthyRef, kHealthyTarget, static_cast<std::int32_t>(sizeof kHealthyTarget - 1));
      ztrtsimSetTargetURL(waitingRef, kWaitingTarget, static_cast<std::int32_t>(sizeof kWaitingTarget - 1));
      if ((b / 2) % 2 == 0) {
        figures.waiting.push_back(batch(waitingRef));
        figures.healthy.push_back(batch(healthyRef));
      } else {
        figures.healthy.push_back(batch(healthyRef));
        figures.waiting.push_back(batch(waitingRef));
      }
    }
    figures.sinceFailureMs = static_cast<double>(Now() - forcedAt) / 1e6;
    if (error.empty() && other != 1) error = "a call answered " + std::to_string(other) + ", not 1";
    // A retry submitted by the last call reaches the library within moments.
    if (error.empty()) LibraryQuiet(std::chrono::milliseconds(10));
    if (error.empty() && (Frameworks() != frameworks || Queries() != queries)) {
      error = "the library was called during the batches, " + std::to_string(figures.sinceFailureMs) +
              " ms after the failing refresh was forced";
    }
  }
  TearDown(plugin, {kHealthyRef, kWaitingRef}, error);
  return figures;
}

FailingMinuteFigures MeasureFailingMinute(Failing what, std::int64_t failingMs, std::int64_t periodMs) {
  constexpr std::uint32_t kRef = 1;
  const Plugin& plugin = Plugin::Linked();
  FailingMinuteFigures figures;
  std::string& error = figures.error;
  {
    kronel_test::FakeClock clock;
    TrackingWork tracking;
    kelsimReset();
    ztrtsimReset();
    if (LoadDescription(Description(kTarget, MixedRecords(20)), error)) {
      ztrtsimSetTargetURL(kRef, kTarget, static_cast<std::int32_t>(std::string(kTarget).size()));
      plugin.SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
    }
    bool counting = false;
    // Asks once, waits for what the call started, moves the clock on.
    auto step = [&]() {
      const Answer answer = Ask(plugin, kRef);
      if (counting) {
        ++figures.calls;
        switch (answer.result) {
          case 0:
            ++figures.written;
            break;
          case 1:
            ++figures.unchanged;
            break;
          case 2:
            ++figures.pending;
            break;
          default:
            ++figures.failed;
            break;
        }
      }
      if (!SettleTracked() && error.empty()) error = "the plug-in's work did not end";
      clock.Advance(periodMs);
      return answer;
    };
    std::int32_t shownEntries = 2;
    if (error.empty() && what == Failing::kQuery) {
      for (std::int64_t t = 0; t < 1000 && shownEntries == 2 && error.empty(); t += periodMs) {
        const Answer answer = step();
        if (answer.result == 0) shownEntries = answer.entries;
      }
      if (shownEntries == 2 && error.empty()) error = "no list before the failures";
    }
    const std::uint64_t frameworks = Frameworks(), queries = Queries(), submitted = TrackedWork::Submitted();
    if (error.empty() && what == Failing::kFrameworks) Fail("kelsysInstantiateFramework2", error);
    if (error.empty() && what == Failing::kQuery && Fail("FindHardware", error)) {
      // A device added while the library fails: the notification's refresh
      // meets the failure at once, and the device shows once it heals.
      char message[256] = "";
      if (kelsimApplyChange(kTarget,
                            R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Added"}]})",
                            "change.json", message, sizeof message) != 0) {
        error = message;
      } else if (!SettleTracked()) {
        error = "the notification's refresh did not end";
      }
    }
    counting = true;
    for (std::int64_t t = 0; t < failingMs && error.empty(); t += periodMs) step();
    counting = false;
    figures.frameworks = Frameworks() - frameworks;
    figures.queries = Queries() - queries;
    figures.submissions = TrackedWork::Submitted() - submitted;
    kelsimClearFailures();
    // Two minutes of the tests' clock cover the longest back-off twice.
    for (std::int64_t t = 0; t <= 120000 && error.empty(); t += periodMs) {
      const Answer answer = step();
      if (answer.result == 0 && answer.entries > shownEntries) {
        figures.healedMs = t;
        break;
      }
    }
    TearDown(plugin, {kRef}, error);
    SettleTracked();
  }
  return figures;
}

RetryStartFigures MeasureRetryStart(std::size_t samples, bool keepBack) {
  const Plugin& plugin = Plugin::Linked();
  RetryStartFigures figures;
  std::string& error = figures.error;
  {
    kronel_test::FakeClock clock;
    if (SetUpTwo(plugin, error)) {
      // Neither the pool nor the calls are met for the first time in a sample.
      SubmitNothing();
      Call(plugin, kHealthyRef);
      for (std::size_t i = 0, tries = 0; i < samples && error.empty(); ++tries) {
        if (tries > 3 * samples) {
          error = "the retries kept ending before the calls that submitted them";
          break;
        }
        {
          TrackingWork tracking;
          if (!Fail("FindHardware", error)) break;
          if (Call(plugin, kWaitingRef, 1) != 2) error = "the forcing call did not answer 2";
          if (!SettleTracked() && error.empty()) error = "the failing refresh did not end";
          kelsimClearFailures();
          // Read anew, so that its minute's re-read never comes due however long the run.
          if (error.empty() && Call(plugin, kHealthyRef, 1) != 2) {
            error = "the healthy target's forcing call did not answer 2";
          }
          if (error.empty() && (!SettleTracked() || !Delivered(plugin, kHealthyRef))) {
            error = "the healthy target's refresh delivered no list";
          }
          if (!SettleTracked() && error.empty()) error = "the plug-in's work did not end";
        }
        if (!error.empty()) break;
        // The retry is held at its first library call, so that the call
        // that submitted it has answered before it can end.
        SetLatency(10);
        clock.Advance(kPastFirstBackoffMs);
        std::int32_t retryAnswer = -1, unchanged = -1;
        std::uint64_t retrySubmissions = 0, baseSubmissions = 0;
        bool submitted = false;
        double retry = -1, baseline = -1;
        bool reachedLibrary = false;
        auto timeRetry = [&] {
          const std::uint64_t before = platform::CountWork().submitted, frameworksBefore = Frameworks();
          retry = Timed([&] { retryAnswer = Call(plugin, kWaitingRef); });
          reachedLibrary = Frameworks() != frameworksBefore;
          retrySubmissions = platform::CountWork().submitted - before;
        };
        auto timeBaseline = [&] {
          const std::uint64_t before = platform::CountWork().submitted;
          baseline = Timed([&] {
            unchanged = Call(plugin, kHealthyRef);
            submitted = SubmitNothing();
          });
          baseSubmissions = platform::CountWork().submitted - before;
        };
        const platform::WorkSubmitter pool =
            keepBack ? platform::ReplaceWorkSubmitter(&KeptBack::Submit) : nullptr;
        // Each first in turn: the first to wake an idle core pays more.
        if (i % 2 == 0) {
          timeRetry();
          timeBaseline();
        } else {
          timeBaseline();
          timeRetry();
        }
        if (keepBack) {
          platform::ReplaceWorkSubmitter(pool);
          KeptBack::Release();
        }
        // An answer 0 was the retry's list, written by the call itself.
        const bool delivered = retryAnswer == 0 ? Quiet(plugin, kWaitingRef) : Delivered(plugin, kWaitingRef);
        SetLatency(0);
        if (retryAnswer == 0 && retrySubmissions == 1 && delivered) {
          // Ended first all the same: the call also wrote the list.
          ++figures.retried;
          continue;
        }
        if (retryAnswer != 1 || retrySubmissions != 1) {
          error = "the call after the back-off answered " + std::to_string(retryAnswer) + " with " +
                  std::to_string(retrySubmissions) + " submissions, not 1 with 1";
        } else if (unchanged != 1 || !submitted || baseSubmissions != 1) {
          error = "the baseline's call answered " + std::to_string(unchanged) + " with " +
                  std::to_string(baseSubmissions) + " submissions" +
                  (submitted ? "" : ", the pool took no work");
        } else if (!delivered) {
          error = "the retry delivered no list";
        } else {
          figures.retry.push_back(retry);
          figures.baseline.push_back(baseline);
          figures.reachedLibrary.push_back(reachedLibrary);
          ++i;
        }
      }
    }
    TearDown(plugin, {kHealthyRef, kWaitingRef}, error);
  }
  return figures;
}

}  // namespace kronel_bench
