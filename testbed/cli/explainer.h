#pragma once
// The discovery rules applied once more to a target's records, to say which
// rule kept or dropped each record and what the plug-in should deliver.
//
// The rules are the tool's own copy (discovery_rules.h), not the plug-in's
// functions: the plug-in's rules answer only yes or no, where the tool must
// say which rule decided and why, and a copy written apart is checked
// against every list the plug-in delivers, so a fault in either shows.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kronel_names {

enum class NameForm { kDevice, kLocalSystem, kRemoteSystem };

struct NameOrigin {
  NameForm form = NameForm::kDevice;
  std::uint32_t model = 0;  // kDevice
  bool hasHost = true;      // kRemoteSystem
};

// "device of model 0x7066", "local system", "remote system", ...
std::string DescribeOrigin(const NameOrigin& origin);
std::string ModelText(std::uint32_t model);

enum class Verdict { kKept, kDropped, kStopsRefresh, kNotReached };
const char* VerdictName(Verdict verdict);

struct RecordExplanation {
  std::size_t number = 0;  // 1-based, in the order the library serves the records
  std::string where;
  Verdict verdict = Verdict::kDropped;
  std::string rule;  // short and stable: "device", "status-not-1", "device+remote-system", ...
  std::string text;  // the reason in words
  std::vector<std::pair<std::string, NameOrigin>> names;
};

struct TargetExplanation {
  std::string failure;         // why the refresh stops; empty when it succeeds
  bool libraryFailed = false;  // the stop is a failure the library answered
  std::vector<RecordExplanation> records;
  std::map<std::string, NameOrigin> names;  // a successful refresh's list, with the first origin of each

  bool RefreshSucceeds() const { return failure.empty(); }
};

// Reads the target's records through the library's contract, with the
// project's configuration client, as the plug-in's discovery does. `places`
// are where the records the library serves came from, in its order, when a
// description is known.
TargetExplanation Explain(const std::string& target, const std::vector<std::string>& places);

}  // namespace kronel_names
