#pragma once
// A change script: timed steps that change a target's records, make an
// operation of the simulated library fail or slow, restart its service or
// change its profile, replayed during --watch.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json_value.h"

namespace kronel_names {

enum class StepAction { kAdd, kRemove, kReplace, kFail, kSlow, kClearFailures, kRestart, kProfile };

struct Step {
  double at = 0;  // seconds after the replay began
  StepAction action = StepAction::kAdd;
  std::string where;  // "file:line:column" of the step

  // kAdd, kRemove, kReplace
  std::string target;
  std::string change;               // the change alone, as the library reads it
  kelmorrow::json::Value records;   // kAdd, kReplace: the records' JSON, for their places
  std::vector<std::string> names;   // kRemove

  // kFail, kSlow
  std::string operation;
  std::int32_t result = 0;         // kFail
  std::uint32_t call = 0;          // kFail: 0 every call, n the n-th call from now
  double forSeconds = 0;           // kFail: how long every call fails; 0 until cleared
  std::uint32_t milliseconds = 0;  // kSlow; 0 removes the latency

  // kProfile: the members given, as the library reads them, and as written
  std::string profile;
  std::vector<std::pair<std::string, std::string>> profileMembers;

  bool ChangesRecords() const {
    return action == StepAction::kAdd || action == StepAction::kRemove || action == StepAction::kReplace;
  }
  // A failure that ends by itself, at this many seconds after the start.
  bool EndsByItself() const { return action == StepAction::kFail && forSeconds > 0; }
  double EndsAt() const { return at + forSeconds; }
  std::uint32_t ForMilliseconds() const;

  // "add 1 record to \"\"", "FindHardware fails with 0x800706BA on every call", ...
  std::string Describe() const;
  // What the end of a failure for a while shows.
  std::string DescribeEnd() const;
};

struct ChangeScript {
  std::string source;
  std::vector<Step> steps;
  double end = 0;  // seconds after which the replay ends

  // Targets whose records the script changes, in the order they first appear.
  std::vector<std::string> ChangedTargets() const;
};

// what() is "source:line:column: message".
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr std::uint32_t kMaxLatencyMs = 10000;

// `isOperation` tells the names of the library's operations. Throws ScriptError.
ChangeScript ParseChangeScript(std::string_view text, const std::string& source,
                               const std::function<bool(const std::string&)>& isOperation);

}  // namespace kronel_names
