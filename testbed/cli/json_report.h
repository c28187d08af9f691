#pragma once
// JSON for scripts: one document for the lists, or, during a watch, one
// object per line for each event.
#include <ostream>

#include <nlohmann/json.hpp>

#include "report.h"

namespace kronel_names {

class JsonReport : public Report {
 public:
  JsonReport(std::ostream& out, RunInfo info, bool lines) : out_(out), info_(std::move(info)), lines_(lines) {}

  void Lists(const std::vector<TargetListing>& listings) override;
  void WatchBegins(const ChangeScript& script, const std::vector<std::string>& targets) override;
  void StepApplied(double seconds, std::size_t number, const Step& step) override;
  void StepEnded(double seconds, std::size_t number, const Step& step) override;
  void NewList(double seconds, const TargetListing& listing, const ListChange& change) override;
  void Failure(double seconds, const TargetListing& listing) override;
  void LibraryFailures(double seconds, std::uint64_t failures, std::uint64_t total) override;
  void WatchEnds(double seconds, bool interrupted) override;

 private:
  nlohmann::ordered_json Listing(const TargetListing& listing) const;
  nlohmann::ordered_json Header() const;
  void Emit(const nlohmann::ordered_json& value);

  std::ostream& out_;
  RunInfo info_;
  bool lines_;
};

}  // namespace kronel_names
