#include "latency_run.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <thread>

#include "kelsim.h"
#include "platform/module.h"
#include "support.h"
#include "ztrtsim.h"

namespace kronel_bench {

double LatencyFigures::At(double fraction) const {
  if (latencies.empty()) return 0;
  return latencies[std::min(latencies.size() - 1, static_cast<std::size_t>(fraction * latencies.size()))];
}

LatencyFigures RunLatency(std::size_t calls, std::uint32_t delayMs) {
  LatencyFigures figures;
  const auto pause = std::chrono::microseconds(100);
  if (!SetUpTarget(kLatencyThreads, figures.error)) return figures;
  const Plugin& plugin = Plugin::Instance();
  plugin.SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));

  // The first refresh registers for notifications; only then is the library slowed.
  if (!PollUntilWritten(1)) {
    figures.error = "no list arrived";
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
  std::vector<std::vector<double>> perThread(kLatencyThreads);
  std::vector<std::array<double, 3>> slowest(kLatencyThreads, {0, 0, 0});
  std::vector<std::thread> callers;
  for (std::uint32_t t = 0; t < kLatencyThreads; ++t) {
    callers.emplace_back([&, t] {
      std::vector<double>& mine = perThread[t];
      mine.reserve(calls / kLatencyThreads);
      for (std::size_t i = 0; i < calls / kLatencyThreads; ++i) {
        hostbind::UHandle slot = nullptr;
        const auto start = std::chrono::steady_clock::now();
        const std::int32_t result = plugin.GetIOControlNames(t + 1, &slot);
        const auto end = std::chrono::steady_clock::now();
        const double us = std::chrono::duration<double, std::micro>(end - start).count();
        mine.push_back(us);
        if (result >= 0 && result <= 2) slowest[t][result] = std::max(slowest[t][result], us);
        if (slot != nullptr) ztrtsimDisposeNameList(slot);
        if (result == 0)
          ++written;
        else if (result == 2)
          ++pending;
        else if (result != 1)
          ++failed;
        std::this_thread::sleep_for(pause);
      }
    });
  }
  for (std::thread& caller : callers) caller.join();
  stop = true;
  changes.join();
  kelsimSetLatency("FindHardware", 0, error, sizeof error);
  figures.refreshes = kelsimCallCount("FindHardware") - findsBefore;
  TearDownTarget(kLatencyThreads);

  for (const auto& mine : perThread)
    figures.latencies.insert(figures.latencies.end(), mine.begin(), mine.end());
  std::sort(figures.latencies.begin(), figures.latencies.end());
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
