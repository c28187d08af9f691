// Runs every benchmark and prints one table of figures against their
// baselines and goals; Google Benchmark's own report goes to a log.
//   kronel_bench [--smoke] [--log=FILE] [Google Benchmark flags]
// With --benchmark_filter, the figures of benchmarks left out show as not run.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "figures_table.h"
#include "kelsim.h"
#include "support.h"

int main(int argc, char** argv) {
  bool smoke = false;
  std::string log_path = "kronel_bench.log";
  std::vector<char*> args;
  bool filtered = false;
  // Smoke: one short run each. Otherwise the median of five, so that a figure
  // and its baseline are not each caught at a different moment of the machine.
  static char min_time[] = "--benchmark_min_time=0.01";
  static char repetitions[] = "--benchmark_repetitions=5";
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--smoke") == 0) {
      smoke = true;
    } else if (std::strncmp(argv[i], "--log=", 6) == 0) {
      log_path = argv[i] + 6;
    } else {
      filtered = filtered || std::strncmp(argv[i], "--benchmark_filter=", 19) == 0;
      args.push_back(argv[i]);
    }
  }
  args.insert(args.begin() + 1, smoke ? min_time : repetitions);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  kronel_bench::SetSmoke(smoke);
  // glibc would otherwise hand freed heap back to the kernel whenever the top
  // of the heap happens to be free, and fault it in again on the next
  // iteration: whether it does depends on what ran before, not on the code
  // measured. Fixed thresholds keep the figures about the code.
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

  std::ofstream log(log_path);
  benchmark::ConsoleReporter console(benchmark::ConsoleReporter::OO_None);
  console.SetOutputStream(&log);
  console.SetErrorStream(&log);
  kronel_bench::Collector collector(console);
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  // The library's delivery thread must end before the library goes.
  kelsimShutdown();

  const bool complete = kronel_bench::PrintFigures(collector.Runs(), !smoke, filtered, std::cout);
  std::cout << "details: " << log_path << "\n";
  return complete ? 0 : 1;
}
