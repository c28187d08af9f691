#include "operation_control.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace kelmorrow {
namespace {

constexpr std::string_view kOperations[] = {
    "kelsysInstantiateFramework2", "QueryInterface",
    // IqvSysFramework, IqvSysFramework2, IqvSysFramework3, IqvSysDiagnostics
    "FindHardware", "FindHardwareByModel", "GetSourceNames", "FindHardwareByName", "GetComponents",
    "SetNotificationHandler", "SelectProperties", "GetLocalSystem", "RefreshTarget", "SaveConfiguration",
    "ResolveAlias", "ValidateRecord", "SetAlias", "FormatProperty", "SetTargetEnabled", "Reserved18", "Reserved19",
    "Reserved20", "Reserved21", "DescribeTarget", "AddTarget", "UpdateTarget", "RenameTarget", "ReserveResource",
    "SetTraceLevel", "GetLicenseState", "Reserved29", "Reserved30", "Reserved31", "Reserved32",
    "ImportConfiguration", "ExportConfiguration", "FindAllHardware", "GetErrorCount", "GetReport",
    // IqvSysPropertyBag
    "GetCount", "HasProperty", "GetType", "GetTagAt", "Remove", "GetBool", "SetBool", "GetInt16", "SetInt16",
    "GetUInt16", "SetUInt16", "GetInt64", "SetInt64", "GetInt32", "GetUInt32", "SetInt32", "SetUInt32", "GetString",
    "SetString", "GetDouble", "SetDouble",
    // IqvSysEnumUnknown, IqvSysEnumString
    "Next", "Skip", "Reset", "Clone",
    // IqvSysNotificationHandler, called by the library
    kCallbackOperation,
};

// The table's own view of the name, or an empty view for a name not in it.
std::string_view Canonical(std::string_view operation) {
  auto found = std::find(std::begin(kOperations), std::end(kOperations), operation);
  return found == std::end(kOperations) ? std::string_view() : *found;
}

}  // namespace

bool OperationControl::IsKnown(std::string_view operation) {
  return std::find(std::begin(kOperations), std::end(kOperations), operation) != std::end(kOperations);
}

std::optional<HRESULT> OperationControl::Enter(const char* operation) {
  std::uint32_t latency = 0;
  std::optional<HRESULT> result;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Every library call passes here: a hash look-up, no allocation once the
    // operation is counted. Keys view the names of kOperations, which outlive them.
    const std::string_view name(operation);
    auto counted = calls_.find(name);
    if (counted == calls_.end()) counted = calls_.emplace(Canonical(name), 0).first;
    std::uint64_t call = ++counted->second;
    auto delay = latencies_.empty() ? latencies_.end() : latencies_.find(name);
    if (delay != latencies_.end()) latency = delay->second;
    auto injected = injections_.empty() ? injections_.end() : injections_.find(name);
    if (injected != injections_.end()) result = InjectedLocked(injected->second, call);
  }
  if (latency != 0) std::this_thread::sleep_for(std::chrono::milliseconds(latency));
  return result;
}

void OperationControl::CountFailure() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++failures_;
}

bool OperationControl::SetLatency(std::string_view operation, std::uint32_t milliseconds) {
  if (!IsKnown(operation)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (milliseconds == 0) {
    auto found = latencies_.find(operation);
    if (found != latencies_.end()) latencies_.erase(found);
  } else {
    latencies_[std::string(operation)] = milliseconds;
  }
  return true;
}

// A failure due at this very call comes first, then the newest run under
// way, then the one for every call.
std::optional<HRESULT> OperationControl::InjectedLocked(std::vector<Injection>& list, std::uint64_t call) {
  using Kind = Injection::Kind;
  auto once = std::find_if(list.begin(), list.end(),
                           [&](const Injection& i) { return i.kind == Kind::kOnce && i.first == call; });
  if (once != list.end()) {
    HRESULT result = once->result;
    list.erase(once);
    return result;
  }
  std::optional<Clock::time_point> now;
  auto ended = [&](const Injection& i) {
    if (i.kind != Kind::kRun) return false;
    if (!i.until) return call > i.last;
    if (!now) now = Clock::now();
    return *now >= *i.until;
  };
  list.erase(std::remove_if(list.begin(), list.end(), ended), list.end());
  for (auto run = list.rbegin(); run != list.rend(); ++run) {
    if (run->kind == Kind::kRun && run->first <= call) return run->result;
  }
  auto every = std::find_if(list.begin(), list.end(), [](const Injection& i) { return i.kind == Kind::kEvery; });
  if (every != list.end()) return every->result;
  return std::nullopt;
}

bool OperationControl::InjectLocked(std::string_view operation, Injection injection) {
  if (!IsKnown(operation) || operation == kCallbackOperation) return false;
  auto& list = injections_[std::string(operation)];
  if (injection.kind == Injection::Kind::kEvery) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const Injection& i) { return i.kind == Injection::Kind::kEvery; }),
               list.end());
  } else {
    auto counted = calls_.find(operation);
    const std::uint64_t calls = counted == calls_.end() ? 0 : counted->second;
    injection.first += calls;
    injection.last += calls;
  }
  list.push_back(injection);
  return true;
}

bool OperationControl::SetFailure(std::string_view operation, std::uint32_t nth, HRESULT result) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (nth == 0) return InjectLocked(operation, {Injection::Kind::kEvery, 0, 0, std::nullopt, result});
  return InjectLocked(operation, {Injection::Kind::kOnce, nth, nth, std::nullopt, result});
}

bool OperationControl::SetFailureRun(std::string_view operation, std::uint32_t count, HRESULT result) {
  std::lock_guard<std::mutex> lock(mutex_);
  return InjectLocked(operation, {Injection::Kind::kRun, 1, count, std::nullopt, result});
}

bool OperationControl::SetFailureFor(std::string_view operation, std::uint32_t milliseconds, HRESULT result) {
  const Clock::time_point until = Clock::now() + std::chrono::milliseconds(milliseconds);
  std::lock_guard<std::mutex> lock(mutex_);
  return InjectLocked(operation, {Injection::Kind::kRun, 1, 0, until, result});
}

void OperationControl::ClearFailures() {
  std::lock_guard<std::mutex> lock(mutex_);
  injections_.clear();
}

void OperationControl::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
  latencies_.clear();
  injections_.clear();
  failures_ = 0;
}

std::uint64_t OperationControl::Calls(std::string_view operation) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = calls_.find(operation);
  return found == calls_.end() ? 0 : found->second;
}

std::uint64_t OperationControl::Failures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return failures_;
}

std::map<std::string, std::uint64_t, std::less<>> OperationControl::CallCounts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::map<std::string, std::uint64_t, std::less<>> counts;
  for (const auto& [name, calls] : calls_) counts.emplace(std::string(name), calls);
  return counts;
}

}  // namespace kelmorrow
