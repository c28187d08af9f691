#pragma once
// What tests set up per library operation: call counters, latency and
// injected results. Operations are named by their method name.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/hresult.h"

namespace kelmorrow {

// The handler's callback, counted and delayed like an operation but never
// failed by the library.
constexpr char kCallbackOperation[] = "OnConfigurationChanged";

class OperationControl {
 public:
  static bool IsKnown(std::string_view operation);

  // Counts the call, waits its latency and answers an injected result when
  // one is due. Never holds its lock while waiting.
  std::optional<HRESULT> Enter(const char* operation);
  void CountFailure();

  // 0 removes the latency.
  bool SetLatency(std::string_view operation, std::uint32_t milliseconds);
  // nth 0: every call; nth n: the n-th call from now, once. Not for the callback.
  bool SetFailure(std::string_view operation, std::uint32_t nth, HRESULT result);
  // The next `count` calls, or every call for the next `milliseconds`; then
  // the operation answers as before. Not for the callback.
  bool SetFailureRun(std::string_view operation, std::uint32_t count, HRESULT result);
  bool SetFailureFor(std::string_view operation, std::uint32_t milliseconds, HRESULT result);
  void ClearFailures();
  void Reset();

  std::uint64_t Calls(std::string_view operation) const;
  std::uint64_t Failures() const;
  std::map<std::string, std::uint64_t, std::less<>> CallCounts() const;

 private:
  using Clock = std::chrono::steady_clock;

  struct Injection {
    enum class Kind { kOnce, kRun, kEvery };
    Kind kind;
    std::uint64_t first;  // kOnce: the call; kRun: its first call
    std::uint64_t last;   // kRun: its last call, or none when timed
    std::optional<Clock::time_point> until;  // kRun: the end of a timed run
    HRESULT result;
  };

  static std::optional<HRESULT> InjectedLocked(std::vector<Injection>& list, std::uint64_t call);
  // Under mutex_; `first` and `last` count from the next call.
  bool InjectLocked(std::string_view operation, Injection injection);

  mutable std::mutex mutex_;
  std::unordered_map<std::string_view, std::uint64_t> calls_;
  std::map<std::string, std::uint32_t, std::less<>> latencies_;
  std::map<std::string, std::vector<Injection>, std::less<>> injections_;
  std::uint64_t failures_ = 0;
};

}  // namespace kelmorrow
