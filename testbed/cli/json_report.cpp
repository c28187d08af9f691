#include "json_report.h"

namespace kronel_names {
namespace {

using json = nlohmann::ordered_json;

const char* FormName(NameForm form) {
  switch (form) {
    case NameForm::kDevice:
      return "device";
    case NameForm::kLocalSystem:
      return "local-system";
    case NameForm::kRemoteSystem:
      return "remote-system";
  }
  return "";
}

json Origin(const std::optional<NameOrigin>& origin) {
  json out = json::object();
  if (!origin) {
    out["producedBy"] = nullptr;
    return out;
  }
  out["producedBy"] = FormName(origin->form);
  if (origin->form == NameForm::kDevice) out["model"] = ModelText(origin->model);
  if (origin->form == NameForm::kRemoteSystem) out["hasHostName"] = origin->hasHost;
  return out;
}

json Records(const TargetExplanation& explanation) {
  json records = json::array();
  for (const RecordExplanation& record : explanation.records) {
    json names = json::array();
    for (const auto& named : record.names) names.push_back(named.first);
    records.push_back({{"record", record.number},
                       {"at", record.where},
                       {"verdict", VerdictName(record.verdict)},
                       {"rule", record.rule},
                       {"text", record.text},
                       {"names", names}});
  }
  return records;
}

double Rounded(double seconds) {
  return static_cast<double>(static_cast<long long>(seconds * 1000 + 0.5)) / 1000;
}

}  // namespace

json JsonReport::Header() const {
  return {{"tool", "kronel-names"},
          {"version", info_.version},
          {"plugin", info_.plugin},
          {"library", info_.library},
          {"libraryInstalled", info_.installed},
          {"librarySimulation", info_.simulation},
          {"hardware", info_.installed ? json(nullptr) : json(info_.hardware)},
          {"embedded", info_.embedded}};
}

json JsonReport::Listing(const TargetListing& listing) const {
  json out = {{"target", listing.target}, {"appRef", listing.appRef}, {"results", listing.results}};
  if (listing.names) {
    json names = json::array();
    for (std::size_t i = 0; i < listing.names->size(); ++i) {
      json name = {{"position", i + 1}, {"name", (*listing.names)[i]}};
      name.update(Origin(listing.origins[i]));
      names.push_back(name);
    }
    out["names"] = names;
    out["milliseconds"] = Rounded(listing.milliseconds);
  } else {
    out["names"] = nullptr;
    out["failure"] = listing.failure;
  }
  out["explained"] = listing.explained ? json(*listing.explained) : json(nullptr);
  if (info_.explain) {
    json expected = json::array();
    for (const auto& named : listing.explanation.names) expected.push_back(named.first);
    out["refresh"] = {{"succeeds", listing.explanation.RefreshSucceeds()},
                      {"failure", listing.explanation.failure},
                      {"names", expected}};
    out["records"] = Records(listing.explanation);
  }
  return out;
}

void JsonReport::Emit(const json& value) {
  out_ << value.dump(lines_ ? -1 : 2, ' ', false, json::error_handler_t::replace) << "\n";
  out_.flush();
}

void JsonReport::Lists(const std::vector<TargetListing>& listings) {
  if (!lines_) {
    json document = Header();
    document["targets"] = json::array();
    for (const TargetListing& listing : listings) document["targets"].push_back(Listing(listing));
    Emit(document);
    return;
  }
  json start = Header();
  start["event"] = "start";
  Emit(start);
  for (const TargetListing& listing : listings) {
    json event = Listing(listing);
    event["event"] = listing.names ? "list" : "failure";
    event["seconds"] = 0;
    if (listing.names) {
      event["added"] = *listing.names;
      event["removed"] = json::array();
    }
    Emit(event);
  }
}

void JsonReport::WatchBegins(const ChangeScript& script, const std::vector<std::string>& targets) {
  Emit({{"event", "watch"},
        {"script", script.source},
        {"steps", script.steps.size()},
        {"end", script.end},
        {"targets", targets}});
}

void JsonReport::StepApplied(double seconds, std::size_t number, const Step& step) {
  static const char* const kActions[] = {"add",           "remove",  "replace", "fail", "slow",
                                         "clearFailures", "restart", "profile"};
  json event = {{"event", "step"},
                {"seconds", Rounded(seconds)},
                {"step", number},
                {"at", step.where},
                {"action", kActions[static_cast<int>(step.action)]},
                {"text", step.Describe()}};
  if (step.ChangesRecords()) event["target"] = step.target;
  if (!step.operation.empty()) event["operation"] = step.operation;
  if (step.EndsByItself()) event["for"] = step.forSeconds;
  if (step.action == StepAction::kProfile) event["profile"] = json::parse(step.profile);
  Emit(event);
}

void JsonReport::StepEnded(double seconds, std::size_t number, const Step& step) {
  Emit({{"event", "stepEnds"},
        {"seconds", Rounded(seconds)},
        {"step", number},
        {"at", step.where},
        {"action", "fail"},
        {"operation", step.operation},
        {"text", step.DescribeEnd()}});
}

void JsonReport::NewList(double seconds, const TargetListing& listing, const ListChange& change) {
  json event = Listing(listing);
  event.erase("milliseconds");
  event["event"] = "list";
  event["seconds"] = Rounded(seconds);
  event["added"] = change.added;
  event["removed"] = change.removed;
  Emit(event);
}

void JsonReport::Failure(double seconds, const TargetListing& listing) {
  json event = Listing(listing);
  event["event"] = "failure";
  event["seconds"] = Rounded(seconds);
  Emit(event);
}

void JsonReport::LibraryFailures(double seconds, std::uint64_t failures, std::uint64_t total) {
  Emit({{"event", "libraryFailures"},
        {"seconds", Rounded(seconds)},
        {"failures", failures},
        {"total", total}});
}

void JsonReport::WatchEnds(double seconds, bool interrupted) {
  Emit({{"event", "end"}, {"seconds", Rounded(seconds)}, {"interrupted", interrupted}});
}

}  // namespace kronel_names
