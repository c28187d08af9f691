// Runs every benchmark and prints one table of figures against their
// baselines and goals; Google Benchmark's own report goes to a log.
//   kronel_bench [--smoke] [--log=FILE] [Google Benchmark flags]
#include <benchmark/benchmark.h>

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
  static char min_time[] = "--benchmark_min_time=0.01";
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--smoke") == 0) {
      smoke = true;
    } else if (std::strncmp(argv[i], "--log=", 6) == 0) {
      log_path = argv[i] + 6;
    } else {
      args.push_back(argv[i]);
    }
  }
  if (smoke) args.insert(args.begin() + 1, min_time);
  int count = static_cast<int>(args.size());
  args.push_back(nullptr);
  kronel_bench::SetSmoke(smoke);
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

  const bool complete = kronel_bench::PrintFigures(collector.Runs(), !smoke, std::cout);
  std::cout << "details: " << log_path << "\n";
  return complete ? 0 : 1;
}
