#include "latency_run.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

#include "bare_answer.h"
#include "kelsim.h"
#include "pause.h"
#include "platform/module.h"
#include "support.h"
#include "ztrtsim.h"

namespace kronel_bench {
namespace {

double Quantile(const std::vector<double>& values, double fraction) {
  if (values.empty()) return 0;
  return values[std::min(values.size() - 1, static_cast<std::size_t>(fraction * values.size()))];
}

// Notes how long the work took, and when, should it be slow.
template <class Work>
double Timed(std::vector<double>& latencies, std::vector<Span>& slow, Work work) {
  Span span;
  span.begin = Now();
  work();
  span.end = Now();
  const double us = span.Microseconds();
  latencies.push_back(us);
  if (us >= kSlowCallUs) slow.push_back(span);
  return us;
}

template <class T>
std::vector<T> Gathered(const std::vector<std::vector<T>>& perThread) {
  std::vector<T> all;
  for (const auto& mine : perThread) all.insert(all.end(), mine.begin(), mine.end());
  return all;
}

std::vector<double> Sorted(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values;
}

}  // namespace

double LatencyFigures::At(double fraction) const { return Quantile(latencies, fraction); }
double LatencyFigures::BareAt(double fraction) const { return Quantile(bare, fraction); }

LatencyFigures RunLatency(std::uint64_t lists, std::uint32_t delayMs, std::chrono::seconds patience) {
  LatencyFigures figures;
  if (!SetUpTarget(kLatencyThreads, figures.error)) return figures;
  const Plugin& plugin = Plugin::Instance();
  plugin.SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
  BareAnswer bare(kLatencyThreads + 1);
  if (!bare.Ready()) figures.error = "no TargetURL in the engine";

  // The first refresh registers for notifications; only then is the library slowed.
  if (figures.error.empty() && !PollUntilWritten(1)) figures.error = "no list arrived";
  if (!figures.error.empty()) {
    TearDownTarget(kLatencyThreads);
    return figures;
  }
  char error[256] = "";
  kelsimSetLatency("FindHardware", delayMs, error, sizeof error);
  const std::uint64_t findsBefore = kelsimCallCount("FindHardware");

  std::atomic<bool> stop{false};
  std::thread changes([&] {
    for (int i = 0; !stop.load(); ++i) {
      const std::string change =
          R"({"replace": [)" + MixedRecords(static_cast<std::size_t>(10 + i % 7)) + "]}";
      char message[256] = "";
      kelsimApplyChange(kTarget, change.c_str(), "change.json", message, sizeof message);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  std::atomic<std::uint64_t> written{0}, pending{0}, failed{0};
  std::vector<std::vector<double>> perThread(kLatencyThreads), barePerThread(kLatencyThreads);
  std::vector<std::vector<Span>> slowPerThread(kLatencyThreads), bareSlowPerThread(kLatencyThreads);
  std::vector<std::array<double, 3>> slowest(kLatencyThreads, {0, 0, 0});
  std::vector<std::thread> callers;
  figures.run.begin = Now();
  for (std::uint32_t t = 0; t < kLatencyThreads; ++t) {
    callers.emplace_back([&, t] {
      const std::uint32_t appRef = t + 1;
      std::vector<double>& mine = perThread[t];
      std::vector<double>& bareMine = barePerThread[t];
      mine.reserve(1 << 16);
      bareMine.reserve(1 << 16);
      auto answer = [&] {
        hostbind::UHandle slot = nullptr;
        std::int32_t result = -1;
        const double us =
            Timed(mine, slowPerThread[t], [&] { result = plugin.GetIOControlNames(appRef, &slot); });
        if (result >= 0 && result <= 2) slowest[t][result] = std::max(slowest[t][result], us);
        if (slot != nullptr) ztrtsimDisposeNameList(slot);
        if (result == 0) {
          if (++written >= lists) stop = true;
        } else if (result == 2) {
          ++pending;
        } else if (result != 1) {
          ++failed;
        }
      };
      // Turn about, so that neither is always the one right after the pause.
      for (std::size_t i = 0; !stop.load(); ++i) {
        if (i % 2 == 0) answer();
        Timed(bareMine, bareSlowPerThread[t], [&] { bare.Once(appRef); });
        if (i % 2 != 0) answer();
        Pause(kLatencyPause);
      }
    });
  }
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!stop.load() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  stop = true;
  for (std::thread& caller : callers) caller.join();
  figures.run.end = Now();
  changes.join();
  kelsimSetLatency("FindHardware", 0, error, sizeof error);
  figures.refreshes = kelsimCallCount("FindHardware") - findsBefore;
  TearDownTarget(kLatencyThreads);

  figures.latencies = Sorted(Gathered(perThread));
  figures.bare = Sorted(Gathered(barePerThread));
  figures.slow = Gathered(slowPerThread);
  figures.bareSlow = Gathered(bareSlowPerThread);
  for (const auto& mine : slowest) {
    for (int answer = 0; answer < 3; ++answer) {
      figures.slowestByAnswer[answer] = std::max(figures.slowestByAnswer[answer], mine[answer]);
    }
  }
  figures.written = written;
  figures.pending = pending;
  figures.failed = failed;
  return figures;
}

}  // namespace kronel_bench
