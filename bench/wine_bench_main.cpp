// The optimized plug-in where users run it: the unchanged answer per call
// against the same bare work; the call that starts a refresh against an
// unchanged answer plus one pool submission, with CreateThread beside it for
// scale; the last release of many caches; the latency run beside the bare
// work on the same threads, its slow calls matched with the plug-in's pool
// submissions; the host calls that hand work to the pool while another
// thread holds the loader lock, beside one submission under the same lock;
// and the calls while the library fails (healing_run.h).
// All measured here, under Wine, in the same run. Prints the rows of the
// benchmark table.
//   kronel_wine_bench [--smoke]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "bare_answer.h"
#include "healing_run.h"
#include "kelsim.h"
#include "last_release_run.h"
#include "latency_run.h"
#include "loader_lock_run.h"
#include "platform/module.h"
#include "pool_submissions.h"
#include "refresh_start_run.h"
#include "support.h"

namespace kronel_bench {
namespace {

constexpr std::uint32_t kAppRef = 1;

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Times(double ratio) { return Format(ratio < 10 ? "%.2fx" : "%.0fx", ratio); }

std::string Micro(double us) { return us < 1000 ? Format("%.1f us", us) : Format("%.2f ms", us / 1000); }

template <class Step>
double NanosecondsPerCall(std::size_t calls, Step step) {
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < calls; ++i) step();
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(end - start).count() / static_cast<double>(calls);
}

std::size_t SubmissionsDuring(const std::vector<Span>& submissions, const Span& call) {
  return static_cast<std::size_t>(std::count_if(submissions.begin(), submissions.end(),
                                                [&](const Span& s) { return call.Overlaps(s); }));
}

struct Table {
  bool judge;
  int goals = 0, met = 0;
  bool complete = true;

  std::string Met(bool yes) {
    if (!judge) return "-";
    ++goals;
    met += yes ? 1 : 0;
    return yes ? "yes" : "NO";
  }
  void Row(const std::string& figure, const std::string& value, const std::string& baseline,
           const std::string& ratio, const std::string& goal, const std::string& met) {
    std::cout << "| " << figure << " | " << value << " | " << baseline << " | " << ratio << " | " << goal
              << " | " << met << " |\n";
  }
  void Error(const std::string& figure, const std::string& error) {
    Row(figure, "error: " + error, "", "", "", "ERROR");
    complete = false;
  }
};

// Rounds of the answer and of the bare work in turn, so that both see the
// machine in the same moments; the median round of each.
void Unchanged(Table& table, bool smoke) {
  const char figure[] = "GetIOControlNames answering 1, per call (host module set)";
  std::string error;
  if (!SetUpTarget(1, error)) return table.Error(figure, error);
  const Plugin& plugin = Plugin::Instance();
  plugin.SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
  BareAnswer bare(kAppRef);
  if (!bare.Ready()) error = "no TargetURL in the engine";
  if (error.empty() && !PollUntilWritten(kAppRef)) error = "no list arrived";
  const std::size_t calls = smoke ? 2000 : 200000;
  std::vector<double> answers, bares;
  for (int round = 0; error.empty() && round < (smoke ? 1 : 5); ++round) {
    std::int32_t other = 1;
    std::size_t call = 0, at = 0;
    answers.push_back(NanosecondsPerCall(calls, [&] {
      hostbind::UHandle slot = nullptr;
      const std::int32_t answer = plugin.GetIOControlNames(kAppRef, &slot);
      if (answer != 1 && other == 1) {
        other = answer;
        at = call;
      }
      ++call;
    }));
    if (other != 1) {
      error = "call " + std::to_string(at) + " of round " + std::to_string(round) + " answered " +
              std::to_string(other) + ", not 1";
    }
    bares.push_back(NanosecondsPerCall(calls, [&] { bare.Once(); }));
  }
  TearDownTarget(1);
  if (!error.empty()) return table.Error(figure, error);
  const double answer = Median(answers), base = Median(bares);
  table.Row(figure, Format("%.1f ns", answer), Format("%.1f ns bare lock+insert+TargetURL+find", base),
            Times(answer / base), "<= 3x", table.Met(answer / base <= 3));
}

// How many calls were slow, and how many of those overlapped a pool submission.
std::string Slow(const std::vector<Span>& calls, const std::vector<Span>& submissions) {
  const auto beside = std::count_if(calls.begin(), calls.end(), [&](const Span& call) {
    return SubmissionsDuring(submissions, call) > 0;
  });
  return std::to_string(calls.size()) + " (" + std::to_string(beside) + ")";
}

// As many refreshes as the native run sees; each call beside the bare work
// on the same thread, so that both meet the same scheduling.
void Latency(Table& table, bool smoke) {
  const std::uint64_t lists = smoke ? 2 : 10;
  const std::uint32_t delay = smoke ? 20 : 500;
  TakePoolSubmissions();
  const std::uint64_t threadStarts = ThreadStartsMade();
  const LatencyFigures figures = RunLatency(lists, delay, std::chrono::seconds(smoke ? 10 : 30));
  std::vector<Span> submissions;
  for (const Span& submission : TakePoolSubmissions()) {
    if (submission.Overlaps(figures.run)) submissions.push_back(submission);
  }
  if (!figures.error.empty()) return table.Error("GetIOControlNames latency", figures.error);
  const std::string what = "GetIOControlNames latency, refresh held " + Format("%.0f ms", delay) + ", " +
                           std::to_string(kLatencyThreads) + " threads, a call each " +
                           std::to_string(kLatencyPause.count()) + " us, " + std::to_string(figures.latencies.size()) +
                           " calls: max";
  const double max = figures.At(1.0), bareMax = figures.BareAt(1.0);
  table.Row(what, Micro(max), Micro(bareMax) + " bare work's max, same threads", Times(max / bareMax),
            "< 1 ms, <= 3x", table.Met(max < 1000 && max <= 3 * bareMax && figures.failed == 0));
  table.Row("  p50 / p99 / p99.9",
            Format("%.1f", figures.At(0.5)) + " / " + Format("%.1f", figures.At(0.99)) + " / " +
                Format("%.1f us", figures.At(0.999)),
            Format("%.1f", figures.BareAt(0.5)) + " / " + Format("%.1f", figures.BareAt(0.99)) + " / " +
                Format("%.1f us", figures.BareAt(0.999)),
            "", "(reported)", "-");
  table.Row("  slowest answer 0 / 1 / 2 (2 may submit a refresh)",
            Format("%.1f", figures.slowestByAnswer[0]) + " / " + Format("%.1f", figures.slowestByAnswer[1]) +
                " / " + Format("%.1f us", figures.slowestByAnswer[2]),
            "", "", "(reported)", "-");
  if (PoolSubmissionsTimed()) {
    table.Row("  calls of 1 ms or more (of them beside a pool submission of the plug-in's)",
              Slow(figures.slow, submissions), Slow(figures.bareSlow, submissions), "", "(reported)", "-");
    std::vector<double> submitTimes;
    for (const Span& submission : submissions) submitTimes.push_back(submission.Microseconds());
    table.Row("  the plug-in's pool submissions in the run: count / median / slowest",
              std::to_string(submissions.size()) + " / " +
                  (submissions.empty() ? std::string("-")
                                       : Micro(Median(submitTimes)) + " / " + Micro(Max(submitTimes))),
              "", "", "(reported)", "-");
  } else {
    table.Row("  calls of 1 ms or more", std::to_string(figures.slow.size()),
              std::to_string(figures.bareSlow.size()), "", "(reported)", "-");
  }
  table.Row("  threads the plug-in started in the run (CreateThread, _beginthreadex)",
            ImportsThreadStart() ? std::to_string(ThreadStartsMade() - threadStarts) : std::string("0, none imported"),
            "", "", "0", table.Met(ThreadStartsMade() == threadStarts));
  const bool allLists = figures.written >= lists;
  table.Row("  lists delivered / refreshes / failed calls, in " +
                Format("%.1f s", figures.run.Microseconds() / 1e6),
            std::to_string(figures.written) + " / " + std::to_string(figures.refreshes) + " / " +
                std::to_string(figures.failed),
            "", "", std::to_string(lists) + " lists, no failed call",
            figures.failed == 0 && allLists ? "-" : "NO");
}

// Rounds of samples: the median over the rounds of each round's median.
void RefreshStart(Table& table, bool smoke) {
  const char figure[] = "GetIOControlNames forcing a refresh of an idle cache (answer 2)";
  const int rounds = smoke ? 1 : 5;
  const std::size_t samples = smoke ? 3 : 42;
  std::vector<double> forced, first, base, thread, forcedMax, baseMax, submitting;
  std::size_t retried = 0, calls = 0, submitted = 0;
  const std::uint64_t threadStarts = ThreadStartsMade();
  for (int round = 0; round < rounds; ++round) {
    TakePoolSubmissions();
    // The loaded plug-in: its pool and this program's are the system's one.
    const RefreshStartFigures figures = MeasureRefreshStart(Plugin::Instance(), samples);
    const std::vector<Span> submissions = TakePoolSubmissions();
    std::vector<double> in;
    for (const Span& call : figures.forcedCalls) {
      submitted += SubmissionsDuring(submissions, call) == 1 ? 1 : 0;
      for (const Span& submission : submissions) {
        if (submission.Overlaps(call)) in.push_back(submission.Microseconds());
      }
    }
    if (!in.empty()) submitting.push_back(Median(in));
    if (!figures.error.empty()) return table.Error(figure, figures.error);
    forced.push_back(Median(figures.forced));
    first.push_back(Median(figures.first));
    base.push_back(Median(figures.baseline));
    thread.push_back(Median(figures.threadStart));
    forcedMax.push_back(Max(figures.forced));
    baseMax.push_back(Max(figures.baseline));
    retried += figures.retried;
    calls += figures.forcedCalls.size();
  }
  const double call = Median(forced), baseline = Median(base);
  table.Row(std::string(figure) + ", median of " + std::to_string(samples) + " calls, median of " +
                std::to_string(rounds) + " rounds",
            Micro(call), Micro(baseline) + " answer 1 + SubmitWork(no-op), same thread", Times(call / baseline),
            "<= 2x", table.Met(call <= 2 * baseline));
  table.Row("  first call for a new target (answer 2)", Micro(Median(first)), Micro(baseline),
            Times(Median(first) / baseline), "(reported)", "-");
  table.Row("  for scale: CreateThread+CloseHandle of a thread that does nothing", Micro(Median(thread)),
            Micro(baseline), Times(Median(thread) / baseline), "(reported)", "-");
  table.Row("  slowest forcing call / baseline of the median round; samples made again",
            Micro(Median(forcedMax)) + " / " + Micro(Median(baseMax)) + "; " + std::to_string(retried), "", "",
            "(reported)", "-");
  if (PoolSubmissionsTimed()) {
    table.Row("  forcing calls that made one pool submission, of all; threads the plug-in started",
              std::to_string(submitted) + " of " + std::to_string(calls) + "; " +
                  std::to_string(ThreadStartsMade() - threadStarts),
              "", "", "(reported)", "-");
    if (!submitting.empty()) {
      table.Row("  of the forcing call: in TrySubmitThreadpoolCallback", Micro(Median(submitting)), "", "",
                "(reported)", "-");
    }
  }
  // Whether the system's pool keeps a thread: the call after a long pause.
  const IdlePoolStart idle = MeasureRefreshStartAfterIdle(std::chrono::milliseconds(smoke ? 0 : 5500));
  if (!idle.error.empty()) return table.Error("  same, the pool idle", idle.error);
  table.Row(std::string("  same, the pool idle ") + (smoke ? "0 s" : "5.5 s") +
                ", one call; process threads added by the call",
            Micro(idle.call) + "; " + Format("%+.0f", static_cast<double>(idle.threadsAfter - idle.threadsBefore)),
            Micro(idle.threadStart) + " CreateThread+CloseHandle right after", Times(idle.call / idle.threadStart),
            "(reported)", "-");
}

// The cache while the library fails: a waiting cache's answer beside a
// healthy one's, through the loaded plug-in and the system's clock, in rounds;
// the library attempts of a failing minute, and the call that submits a
// retry, through the plug-in's code linked in, on the tests' clock.
void Healing(Table& table, bool smoke) {
  const int rounds = smoke ? 1 : 5;
  {
    const std::size_t batches = smoke ? 4 : 100, calls = smoke ? 200 : 2000;
    const std::string figure =
        "GetIOControlNames answering 1, cache waiting for its retry (back-off not passed), per call, "
        "median of " + std::to_string(batches) + " batches, median of " + std::to_string(rounds) + " rounds";
    std::vector<double> waiting, healthy, since;
    std::string error;
    for (int round = 0; round < rounds && error.empty(); ++round) {
      const WaitingAnswerFigures figures = MeasureWaitingAnswer(batches, calls);
      error = figures.error;
      if (!error.empty()) break;
      waiting.push_back(Median(figures.waiting));
      healthy.push_back(Median(figures.healthy));
      since.push_back(figures.sinceFailureMs);
    }
    if (!error.empty()) {
      table.Error(figure, error);
    } else {
      const double answer = Median(waiting), base = Median(healthy);
      table.Row(figure, Format("%.1f ns", answer),
                Format("%.1f ns healthy cache's answer 1, batches in turn", base), Times(answer / base),
                "<= 1.1x", table.Met(answer <= 1.1 * base));
      table.Row("  the batches ended after the failing refresh was forced (shortest back-off 800 ms), "
                "slowest round",
                Format("%.0f ms", Max(since)), "", "", "(reported)", "-");
    }
  }
  const char seenFigure[] = "  calls pending / written / unchanged / failed; list back after it works";
  auto seen = [&](const FailingMinuteFigures& figures) {
    table.Row(seenFigure,
              std::to_string(figures.pending) + " / " + std::to_string(figures.written) + " / " +
                  std::to_string(figures.unchanged) + " / " + std::to_string(figures.failed) + "; " +
                  Format("%.1f s", static_cast<double>(figures.healedMs) / 1e3),
              "", "", "no failed call", figures.failed == 0 ? "-" : "NO");
  };
  const FailingMinuteFigures refused = MeasureFailingMinute(Failing::kFrameworks, 60000, 10);
  if (!refused.error.empty()) {
    table.Error("library attempts, frameworks refused for 60 s", refused.error);
  } else {
    table.Row(
        "library attempts, frameworks refused for 60 s, host asking every 10 ms (tests' clock): "
        "kelsysInstantiateFramework2 calls",
        std::to_string(refused.frameworks), "", "", "<= 8", table.Met(refused.frameworks <= 8));
    seen(refused);
  }
  const FailingMinuteFigures query = MeasureFailingMinute(Failing::kQuery, 60000, 10);
  if (!query.error.empty()) {
    table.Error("  same, FindHardware failing from a change on", query.error);
  } else {
    table.Row("  same, FindHardware failing from a change on: framework calls; queries; pool submissions",
              std::to_string(query.frameworks) + "; " + std::to_string(query.queries) + "; " +
                  std::to_string(query.submissions),
              "", "", "<= 8", table.Met(query.frameworks <= 8));
    seen(query);
  }
  {
    const std::size_t samples = smoke ? 3 : 42;
    const std::string figure =
        "GetIOControlNames submitting a retry (answer 1, back-off just passed), code linked in, "
        "tests' clock, median of " + std::to_string(samples) + ", median of " + std::to_string(rounds) +
        " rounds";
    std::vector<double> retry, base, retryMax, baseMax, reached, alone;
    std::size_t retried = 0, reachedCount = 0, calls = 0;
    std::string error;
    for (int round = 0; round < rounds && error.empty(); ++round) {
      const RetryStartFigures figures = MeasureRetryStart(samples);
      error = figures.error;
      if (!error.empty()) break;
      retry.push_back(Median(figures.retry));
      base.push_back(Median(figures.baseline));
      retryMax.push_back(Max(figures.retry));
      baseMax.push_back(Max(figures.baseline));
      retried += figures.retried;
      for (std::size_t i = 0; i < figures.retry.size(); ++i) {
        (figures.reachedLibrary[i] ? reached : alone).push_back(figures.retry[i]);
      }
      reachedCount += static_cast<std::size_t>(
          std::count(figures.reachedLibrary.begin(), figures.reachedLibrary.end(), true));
      calls += figures.retry.size();
    }
    if (!error.empty()) return table.Error(figure, error);
    const double call = Median(retry), baseline = Median(base);
    table.Row(figure, Micro(call), Micro(baseline) + " answer 1 + SubmitWork(no-op), same thread",
              Times(call / baseline), "<= 2x", table.Met(call <= 2 * baseline));
    table.Row("  calls whose retry had reached the library as they returned, of all rounds' " +
                  std::to_string(calls) + "; median call with / without",
              std::to_string(reachedCount) + "; " +
                  (reached.empty() ? std::string("-") : Micro(Median(reached))) + " / " +
                  (alone.empty() ? std::string("-") : Micro(Median(alone))),
              "", "", "(reported)", "-");
    table.Row("  slowest retrying call / baseline of the median round; samples made again",
              Micro(Median(retryMax)) + " / " + Micro(Median(baseMax)) + "; " + std::to_string(retried), "",
              "", "(reported)", "-");
  }
  {
    const char figure[] = "  same, both submissions kept back until both calls were timed (the pool left out)";
    std::vector<double> retry, base;
    std::string error;
    for (int round = 0; round < rounds && error.empty(); ++round) {
      const RetryStartFigures figures = MeasureRetryStart(smoke ? 3 : 42, true);
      error = figures.error;
      if (!error.empty()) break;
      retry.push_back(Median(figures.retry));
      base.push_back(Median(figures.baseline));
    }
    if (!error.empty()) return table.Error(figure, error);
    const double call = Median(retry), baseline = Median(base);
    table.Row(figure, Micro(call), Micro(baseline) + " the baseline, its submission kept back",
              Times(call / baseline), "(reported)", "-");
  }
}

// Rounds of each size: the median round, per cache; then the steps between sizes.
void LastRelease(Table& table, bool smoke) {
  const std::size_t sizes[] = {10, 100, 400};
  const int rounds = smoke ? 1 : 5;
  double us[3] = {0, 0, 0}, caches[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    const std::size_t count = smoke ? std::max<std::size_t>(1, sizes[i] / 10) : sizes[i];
    const std::string figure = "last ReleasingAppRef of " + std::to_string(count) + " caches";
    std::vector<double> calls, settled, submitting, kernelCalls;
    std::vector<std::size_t> submissions;
    std::string error;
    for (int round = 0; round < rounds && error.empty(); ++round) {
      TakePoolSubmissions();
      const LastReleaseFigures figures = MeasureLastRelease(count, &KernelObjectCalls);
      error = figures.error;
      calls.push_back(figures.microseconds);
      settled.push_back(figures.settledMs);
      kernelCalls.push_back(static_cast<double>(figures.counted));
      double in = 0;
      std::size_t made = 0;
      for (const Span& submission : TakePoolSubmissions()) {
        if (!submission.Overlaps(figures.call)) continue;
        ++made;
        in += submission.Microseconds();
      }
      submissions.push_back(made);
      submitting.push_back(in);
    }
    if (!error.empty()) {
      table.Error(figure, error);
      continue;
    }
    us[i] = Median(calls);
    caches[i] = static_cast<double>(count);
    const double perCache = us[i] / caches[i];
    table.Row(figure + ", each registered, one reference a target, median of " + std::to_string(rounds) +
                  " rounds: per cache",
              Micro(perCache), "", "", "<= 20 us", table.Met(perCache <= 20));
    table.Row("  the call; the library settled by the pool after", Micro(us[i]) + "; " + Micro(Median(settled) * 1e3),
              "", "", "(reported)", "-");
    if (PoolSubmissionsTimed()) {
      table.Row("  the call's pool submissions (most of a round), time in them; its kernel-object calls (medians)",
                std::to_string(*std::max_element(submissions.begin(), submissions.end())) + ", " +
                    Micro(Median(submitting)) + "; " + Format("%.0f", Median(kernelCalls)),
                "", "", "(reported)", "-");
    }
  }
  for (int i = 1; i < 3; ++i) {
    if (us[i - 1] == 0 || us[i] == 0) continue;
    const double step = us[i] / us[i - 1], scale = caches[i] / caches[i - 1];
    table.Row("last ReleasingAppRef, " + Format("%.0f", caches[i - 1]) + " -> " + Format("%.0f", caches[i]) +
                  " caches",
              Times(step), Times(scale) + " the caches", "", "<= " + Times(1.2 * scale) + " (linear)",
              table.Met(step <= 1.2 * scale));
  }
}

// Medians over the rounds, of the call and of its baseline; the slowest of
// each, and CreateThread under the same lock for scale, below.
void Held(Table& table, const std::string& figure, const HeldFigures& figures) {
  if (!figures.error.empty()) return table.Error(figure, figures.error);
  const double call = Median(figures.calls), base = Median(figures.baselines);
  const std::string rounds = std::to_string(figures.calls.size());
  table.Row(figure + ", median of " + rounds + " rounds", Micro(call),
            Micro(base) + " " + figures.baseline + ", same thread, lock held", Times(call / base), "<= 2x",
            table.Met(call <= 2 * base));
  const double slowestCall = Max(figures.calls), slowestBase = Max(figures.baselines);
  table.Row("  slowest of the " + rounds + " rounds", Micro(slowestCall), Micro(slowestBase),
            Times(slowestCall / slowestBase), "(reported)", "-");
  const double thread = Median(figures.threadStarts);
  table.Row("  for scale: CreateThread+CloseHandle, same thread, lock held", Micro(thread), Micro(base),
            Times(thread / base), "(reported)", "-");
  table.Row("  of the call: in TrySubmitThreadpoolCallback; kernel-object calls (medians)",
            Micro(Median(figures.submitting)) + "; " + Format("%.0f", Median(figures.kernelObjectCalls)), "", "",
            "(reported)", "-");
}

void LoaderLock(Table& table, bool smoke) {
  const int rounds = smoke ? 2 : 11;
  Held(table, "GetIOControlNames forcing a refresh, loader lock held by another thread",
       RefreshStartWhileHeld(rounds));
  Held(table, "last ReleasingAppRef of 2 caches, one's refresh in the library, loader lock held by another thread",
       LastReleaseWhileHeld(rounds));
}

}  // namespace
}  // namespace kronel_bench

int main(int argc, char** argv) {
  const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
  kronel_bench::SetSmoke(smoke);
  // Timed for the whole run: the plug-in stays loaded.
  if (kronel_bench::Plugin::Instance().Loaded()) {
    kronel_bench::TimePoolSubmissions(platform::GetModuleHandleA("kronel_ztprovider.dll"));
  }
  kronel_bench::Table table{!smoke};
  std::cout
      << "| figure, under Wine (windows-release) | value | baseline (same run, Wine) | ratio | goal | met |\n"
      << "| --- | --- | --- | --- | --- | --- |\n";
  kronel_bench::Unchanged(table, smoke);
  kronel_bench::RefreshStart(table, smoke);
  kronel_bench::Healing(table, smoke);
  kronel_bench::LastRelease(table, smoke);
  kronel_bench::Latency(table, smoke);
  kronel_bench::LoaderLock(table, smoke);
  // The library's delivery thread must end before the library goes.
  kelsimShutdown();
  if (smoke) {
    std::cout << "smoke run: short and small, goals not judged\n";
  } else {
    std::cout << table.met << " of " << table.goals << " goals met\n";
  }
  return table.complete ? 0 : 1;
}
