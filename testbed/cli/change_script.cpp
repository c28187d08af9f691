#include "change_script.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <limits>

#include "description_loader.h"
#include "hardware.h"
#include "hresult_text.h"
#include "json_excerpt.h"
#include "json_reader.h"

namespace kronel_names {
namespace {

using kelmorrow::json::Kind;
using kelmorrow::json::Member;
using kelmorrow::json::Position;
using kelmorrow::json::Value;

constexpr std::int32_t kDefaultFailure = static_cast<std::int32_t>(0x80004005u);
constexpr double kDefaultLinger = 1.0;

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string SecondsText(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g s", seconds);
  return buffer;
}

std::string Plural(std::size_t count, const char* noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

struct ActionKey {
  const char* key;
  StepAction action;
};

constexpr ActionKey kActions[] = {
    {"add", StepAction::kAdd},   {"remove", StepAction::kRemove}, {"replace", StepAction::kReplace},
    {"fail", StepAction::kFail}, {"slow", StepAction::kSlow},     {"clearFailures", StepAction::kClearFailures},
    {"restart", StepAction::kRestart}, {"profile", StepAction::kProfile},
};
constexpr char kActionList[] = "add, remove, replace, fail, slow, clearFailures, restart or profile";

class Parser {
 public:
  Parser(std::string_view text, std::string source, const std::function<bool(const std::string&)>& isOperation)
      : text_(text), source_(std::move(source)), isOperation_(isOperation) {}

  ChangeScript Parse() {
    Value root;
    try {
      root = kelmorrow::json::Parse(text_);
    } catch (const kelmorrow::json::ParseError& error) {
      Fail(error.position(), error.what());
    }
    ExpectKind(root, Kind::kObject, "the change script");
    ChangeScript script;
    script.source = source_;
    const Member* steps = nullptr;
    const Member* end = nullptr;
    for (const Member& member : root.members) {
      if (member.key == "steps") {
        steps = &member;
      } else if (member.key == "end") {
        end = &member;
      } else {
        UnknownKey(member, "the change script", {"steps", "end"});
      }
    }
    if (steps == nullptr) Fail(root.position, "expected \"steps\" in the change script");
    ExpectKind(steps->value, Kind::kArray, Quote("steps"));
    for (const Value& item : steps->value.items) {
      Step step = ParseStep(item);
      if (!script.steps.empty() && step.at < script.steps.back().at) {
        Fail(item.Find("at")->value.position, "steps must come in time order, but this one comes at " +
                                                  Seconds(step.at) + ", before the step ahead of it (" +
                                                  Seconds(script.steps.back().at) + ")");
      }
      script.steps.push_back(std::move(step));
    }
    const double last = script.steps.empty() ? 0 : script.steps.back().at;
    // Long enough by default to see the last failure for a while end.
    double lastEvent = last;
    for (const Step& step : script.steps) {
      if (step.EndsByItself()) lastEvent = std::max(lastEvent, step.EndsAt());
    }
    script.end = lastEvent + kDefaultLinger;
    if (end != nullptr) {
      script.end = ParseSeconds(end->value, "end");
      if (script.end < last) {
        Fail(end->value.position, "\"end\" comes at " + Seconds(script.end) + ", before the last step (" +
                                      Seconds(last) + ")");
      }
    }
    return script;
  }

 private:
  [[noreturn]] void Fail(Position position, const std::string& message) const {
    throw ScriptError(kelmorrow::json::FormatError(source_, position, message));
  }

  void ExpectKind(const Value& value, Kind kind, const std::string& what) const {
    if (value.kind != kind) {
      Fail(value.position, std::string("expected ") + kelmorrow::json::DescribeKind(kind) + " for " + what +
                               ", found " + kelmorrow::json::DescribeKind(value.kind));
    }
  }

  [[noreturn]] void UnknownKey(const Member& member, const std::string& where,
                               std::initializer_list<const char*> expected) const {
    std::string list;
    for (const char* key : expected) list += (list.empty() ? "" : ", ") + std::string(key);
    Fail(member.keyPosition, "unknown key " + Quote(member.key) + " in " + where + " (expected one of: " + list + ")");
  }

  static std::string Seconds(double seconds) { return SecondsText(seconds); }

  double ParseSeconds(const Value& value, const char* field) const {
    ExpectKind(value, Kind::kNumber, Quote(field));
    double seconds = 0;
    auto parsed = std::from_chars(value.text.data(), value.text.data() + value.text.size(), seconds);
    if (parsed.ec != std::errc() || !std::isfinite(seconds) || seconds < 0 || seconds > 86400) {
      Fail(value.position, "expected seconds from 0 to 86400 for " + Quote(field) + ", found " + value.text);
    }
    return seconds;
  }

  std::uint32_t ParseCount(const Value& value, const char* field, std::uint32_t max) const {
    ExpectKind(value, Kind::kNumber, Quote(field));
    std::uint64_t number = 0;
    auto parsed = std::from_chars(value.text.data(), value.text.data() + value.text.size(), number);
    if (!value.IsIntegerLiteral() || parsed.ec != std::errc() ||
        parsed.ptr != value.text.data() + value.text.size() || number > max) {
      Fail(value.position,
           "expected a whole number from 0 to " + std::to_string(max) + " for " + Quote(field) + ", found " + value.text);
    }
    return static_cast<std::uint32_t>(number);
  }

  std::int32_t ParseResult(const Value& value) const {
    const std::string expected = "expected a failure HRESULT (negative, such as \"0x80004005\") for \"result\"";
    std::int64_t number = 0;
    if (value.kind == Kind::kString) {
      const std::string& text = value.text;
      std::uint32_t bits = 0;
      auto parsed = std::from_chars(text.data() + std::min<std::size_t>(2, text.size()), text.data() + text.size(),
                                    bits, 16);
      if (text.size() < 3 || text.size() > 10 || text.compare(0, 2, "0x") != 0 || parsed.ec != std::errc() ||
          parsed.ptr != text.data() + text.size()) {
        Fail(value.position, expected + ", found " + Quote(text));
      }
      number = static_cast<std::int32_t>(bits);
    } else if (value.kind == Kind::kNumber && value.IsIntegerLiteral()) {
      auto parsed = std::from_chars(value.text.data(), value.text.data() + value.text.size(), number);
      if (parsed.ec != std::errc() || number < std::numeric_limits<std::int32_t>::min()) number = 0;
    } else {
      Fail(value.position, expected + ", found " + kelmorrow::json::DescribeKind(value.kind));
    }
    if (number >= 0) Fail(value.position, expected + ", found " + (value.kind == Kind::kString ? Quote(value.text) : value.text));
    return static_cast<std::int32_t>(number);
  }

  std::string ParseOperation(const Value& value, const char* field) const {
    ExpectKind(value, Kind::kString, Quote(field));
    if (!isOperation_(value.text)) {
      Fail(value.position, "unknown operation " + Quote(value.text) +
                               " (operations go by their method names, such as FindHardware, HasProperty or GetString)");
    }
    return value.text;
  }

  // Checked by the library's own reader, at the profile's place in the script.
  void ParseProfile(const Value& value, Step& step) const {
    ExpectKind(value, Kind::kObject, Quote("profile"));
    if (value.members.empty()) {
      Fail(value.position, "expected at least one member in \"profile\", such as \"notifications\"");
    }
    step.profile = IsolateValue(text_, value.position);
    try {
      kelmorrow::LoadProfile(step.profile, source_);
    } catch (const kelmorrow::DescriptionError& error) {
      throw ScriptError(error.what());
    }
    for (const Member& member : value.members) step.profileMembers.emplace_back(member.key, member.value.text);
  }

  Step ParseStep(const Value& item) const {
    ExpectKind(item, Kind::kObject, "a step");
    Step step;
    step.where = Where(source_, item.position);
    const Member* action = nullptr;
    const Member* at = nullptr;
    const Member* target = nullptr;
    const Member* result = nullptr;
    const Member* call = nullptr;
    const Member* ms = nullptr;
    const Member* forMember = nullptr;
    for (const Member& member : item.members) {
      const ActionKey* key = nullptr;
      for (const ActionKey& candidate : kActions) {
        if (member.key == candidate.key) key = &candidate;
      }
      if (key != nullptr) {
        if (action != nullptr) {
          Fail(member.keyPosition, "a step does one thing, but this one has both " + Quote(action->key) + " and " +
                                       Quote(member.key));
        }
        action = &member;
        step.action = key->action;
      } else if (member.key == "at") {
        at = &member;
      } else if (member.key == "target") {
        target = &member;
      } else if (member.key == "result") {
        result = &member;
      } else if (member.key == "call") {
        call = &member;
      } else if (member.key == "ms") {
        ms = &member;
      } else if (member.key == "for") {
        forMember = &member;
      } else {
        UnknownKey(member, "a step",
                   {"at", "target", "add", "remove", "replace", "fail", "result", "call", "for", "slow", "ms",
                    "clearFailures", "restart", "profile"});
      }
    }
    if (at == nullptr) Fail(item.position, "expected \"at\" (seconds after the replay began) in the step");
    if (action == nullptr) Fail(item.position, std::string("expected one of ") + kActionList + " in the step");
    step.at = ParseSeconds(at->value, "at");

    auto belongsTo = [&](const Member* member, const char* owner) {
      if (member != nullptr) {
        Fail(member->keyPosition, Quote(member->key) + " belongs to " + owner + ", not to " + Quote(action->key));
      }
    };
    if (!step.ChangesRecords()) belongsTo(target, "add, remove or replace");
    if (step.action != StepAction::kFail) {
      belongsTo(result, "fail");
      belongsTo(call, "fail");
      belongsTo(forMember, "fail");
    }
    if (step.action != StepAction::kSlow) belongsTo(ms, "slow");

    const Value& value = action->value;
    switch (step.action) {
      case StepAction::kAdd:
      case StepAction::kReplace:
        ExpectKind(value, Kind::kArray, Quote(action->key));
        step.records = value;
        break;
      case StepAction::kRemove:
        ExpectKind(value, Kind::kArray, Quote(action->key));
        for (const Value& name : value.items) {
          ExpectKind(name, Kind::kString, "a resource name in \"remove\"");
          step.names.push_back(name.text);
        }
        break;
      case StepAction::kFail:
        step.operation = ParseOperation(value, "fail");
        step.result = result != nullptr ? ParseResult(result->value) : kDefaultFailure;
        if (call != nullptr) step.call = ParseCount(call->value, "call", std::numeric_limits<std::uint32_t>::max());
        if (forMember != nullptr) {
          step.forSeconds = ParseSeconds(forMember->value, "for");
          if (step.forSeconds <= 0 || step.ForMilliseconds() == 0) {
            Fail(forMember->value.position,
                 "expected seconds above 0 (at least 0.001) for \"for\", found " + forMember->value.text);
          }
          if (step.call != 0) {
            Fail(call->value.position, "\"for\" makes every call fail for a while, so \"call\" can only be 0 "
                                       "beside it, not " + call->value.text);
          }
        }
        break;
      case StepAction::kSlow:
        step.operation = ParseOperation(value, "slow");
        if (ms == nullptr) Fail(action->keyPosition, "expected \"ms\" (the added latency) beside \"slow\"");
        step.milliseconds = ParseCount(ms->value, "ms", kMaxLatencyMs);
        break;
      case StepAction::kClearFailures:
        if (value.kind != Kind::kBool || !value.boolean) Fail(value.position, "expected true for \"clearFailures\"");
        break;
      case StepAction::kRestart:
        if (value.kind != Kind::kBool || !value.boolean) Fail(value.position, "expected true for \"restart\"");
        break;
      case StepAction::kProfile:
        ParseProfile(value, step);
        break;
    }
    if (step.ChangesRecords()) {
      if (target != nullptr) {
        ExpectKind(target->value, Kind::kString, Quote("target"));
        step.target = target->value.text;
      }
      step.change = IsolateMember(text_, action->keyPosition, action->value.position);
    }
    return step;
  }

  std::string_view text_;
  std::string source_;
  const std::function<bool(const std::string&)>& isOperation_;
};

}  // namespace

std::string Step::Describe() const {
  switch (action) {
    case StepAction::kAdd:
      return "add " + Plural(records.items.size(), "record") + " to " + Quote(target);
    case StepAction::kReplace:
      return "replace the records of " + Quote(target) + " by " + Plural(records.items.size(), "record");
    case StepAction::kRemove: {
      std::string list;
      for (const std::string& name : names) list += (list.empty() ? "" : ", ") + Quote(name);
      return "remove " + (list.empty() ? std::string("nothing") : list) + " from " + Quote(target);
    }
    case StepAction::kFail:
      return operation + " fails with " + HexResult(result) +
             (forSeconds > 0 ? " on every call for " + SecondsText(forSeconds)
              : call == 0    ? " on every call"
              : call == 1    ? " on its next call"
                             : " on its call " + std::to_string(call) + " from now");
    case StepAction::kSlow:
      return milliseconds == 0 ? operation + " no longer slowed"
                               : operation + " takes " + std::to_string(milliseconds) + " ms longer";
    case StepAction::kClearFailures:
      return "injected failures cleared";
    case StepAction::kRestart:
      return "the library's service restarts";
    case StepAction::kProfile: {
      std::string list;
      for (const auto& member : profileMembers) list += (list.empty() ? "" : ", ") + member.first + " " + member.second;
      return "the library's profile changes: " + list;
    }
  }
  return "";
}

std::string Step::DescribeEnd() const {
  return "the failure of " + operation + " with " + HexResult(result) + " is over";
}

std::uint32_t Step::ForMilliseconds() const { return static_cast<std::uint32_t>(std::lround(forSeconds * 1000)); }

std::vector<std::string> ChangeScript::ChangedTargets() const {
  std::vector<std::string> targets;
  for (const Step& step : steps) {
    if (!step.ChangesRecords()) continue;
    bool seen = false;
    for (const std::string& target : targets) seen = seen || target == step.target;
    if (!seen) targets.push_back(step.target);
  }
  return targets;
}

ChangeScript ParseChangeScript(std::string_view text, const std::string& source,
                               const std::function<bool(const std::string&)>& isOperation) {
  return Parser(text, source, isOperation).Parse();
}

}  // namespace kronel_names
