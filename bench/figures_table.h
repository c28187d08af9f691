#pragma once
// Keeps every run Google Benchmark reports (and passes it on to a log), and
// turns them into the one table of figures, baselines, ratios and goals.
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

namespace kronel_bench {

class Collector : public benchmark::BenchmarkReporter {
 public:
  explicit Collector(benchmark::BenchmarkReporter& log) : log_(log) {}

  bool ReportContext(const Context& context) override { return log_.ReportContext(context); }
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override { log_.Finalize(); }

  // Keyed by function name, then "/" and the arguments if there are any; of
  // repeated runs the median is kept.
  const std::map<std::string, Run>& Runs() const { return runs_; }

 private:
  benchmark::BenchmarkReporter& log_;
  std::map<std::string, Run> runs_;
};

// Prints the table; false when a benchmark reported an error, or is missing
// though none was filtered out. Goals are judged only when `judge` is set.
bool PrintFigures(const std::map<std::string, benchmark::BenchmarkReporter::Run>& runs, bool judge, bool filtered,
                  std::ostream& out);

}  // namespace kronel_bench
