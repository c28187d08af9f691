// The optimized plug-in where users run it: the unchanged answer per call
// against the same bare work, and the latency run, both measured here, under
// Wine, each beside its baseline from the same run. Prints the rows of the
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
#include "kelsim.h"
#include "latency_run.h"
#include "platform/module.h"
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

template <class Step>
double NanosecondsPerCall(std::size_t calls, Step step) {
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < calls; ++i) step();
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::nano>(end - start).count() / static_cast<double>(calls);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
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
    bool all_unchanged = true;
    answers.push_back(NanosecondsPerCall(calls, [&] {
      hostbind::UHandle slot = nullptr;
      all_unchanged = plugin.GetIOControlNames(kAppRef, &slot) == 1 && all_unchanged;
    }));
    if (!all_unchanged) error = "the answer was not 1";
    bares.push_back(NanosecondsPerCall(calls, [&] { bare.Once(); }));
  }
  TearDownTarget(1);
  if (!error.empty()) return table.Error(figure, error);
  const double answer = Median(answers), base = Median(bares);
  table.Row(figure, Format("%.1f ns", answer), Format("%.1f ns bare lock+insert+TargetURL+find", base),
            Times(answer / base), "<= 3x", table.Met(answer / base <= 3));
}

void Latency(Table& table, bool smoke) {
  const std::size_t calls = smoke ? 2000 : 100000;
  const std::uint32_t delay = smoke ? 20 : 500;
  const LatencyFigures figures = RunLatency(calls, delay);
  const std::string what = "GetIOControlNames latency, refresh held " + Format("%.0f ms", delay) + ", " +
                           std::to_string(kLatencyThreads) + " threads, " + Format("%.0f", double(calls)) +
                           " calls: max";
  if (!figures.error.empty()) return table.Error(what, figures.error);
  const double max = figures.At(1.0);
  const double below = delay * 1e3 / max;
  table.Row(what, Format("%.2f us", max), Format("%.2f ms library delay", delay), Times(below) + " below",
            "< 1 ms, >= 500x below", table.Met(max < 1000 && below >= 500 && figures.failed == 0));
  table.Row("  p50 / p99 / max",
            Format("%.1f", figures.At(0.5)) + " / " + Format("%.1f", figures.At(0.99)) + " / " +
                Format("%.1f us", max),
            "",
            Times(delay * 1e3 / figures.At(0.5)) + " / " + Times(delay * 1e3 / figures.At(0.99)) + " / " +
                Times(below) + " below",
            "(reported)", "-");
  table.Row("  lists delivered / refreshes / failed calls",
            std::to_string(figures.written) + " / " + std::to_string(figures.refreshes) + " / " +
                std::to_string(figures.failed),
            "", "", "no failed call", figures.failed == 0 ? "-" : "NO");
}

}  // namespace
}  // namespace kronel_bench

int main(int argc, char** argv) {
  const bool smoke = argc > 1 && std::strcmp(argv[1], "--smoke") == 0;
  kronel_bench::SetSmoke(smoke);
  kronel_bench::Table table{!smoke};
  std::cout
      << "| figure, under Wine (windows-release) | value | baseline (same run, Wine) | ratio | goal | met |\n"
      << "| --- | --- | --- | --- | --- | --- |\n";
  kronel_bench::Unchanged(table, smoke);
  kronel_bench::Latency(table, smoke);
  // The library's delivery thread must end before the library goes.
  kelsimShutdown();
  if (smoke) {
    std::cout << "smoke run: short and small, goals not judged\n";
  } else {
    std::cout << table.met << " of " << table.goals << " goals met\n";
  }
  return table.complete ? 0 : 1;
}
