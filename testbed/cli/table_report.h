#pragma once
// Readable tables: one per target, then one line per event of a watch.
#include <ostream>

#include "report.h"

namespace kronel_names {

class TableReport : public Report {
 public:
  TableReport(std::ostream& out, RunInfo info) : out_(out), info_(std::move(info)) {}

  void Lists(const std::vector<TargetListing>& listings) override;
  void WatchBegins(const ChangeScript& script, const std::vector<std::string>& targets) override;
  void StepApplied(double seconds, std::size_t number, const Step& step) override;
  void StepEnded(double seconds, std::size_t number, const Step& step) override;
  void NewList(double seconds, const TargetListing& listing, const ListChange& change) override;
  void Failure(double seconds, const TargetListing& listing) override;
  void LibraryFailures(double seconds, std::uint64_t failures, std::uint64_t total) override;
  void WatchEnds(double seconds, bool interrupted) override;

 private:
  void Names(const TargetListing& listing, const std::string& indent);
  void Explanation(const TargetListing& listing, const std::string& indent);

  std::ostream& out_;
  RunInfo info_;
};

}  // namespace kronel_names
