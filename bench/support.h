#pragma once
// What the benchmarks share, natively and under Wine: the simulated library
// and engine set up from a description, and the plug-in loaded as the host
// loads it.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "hostbind/host_types.h"
#include "pause.h"
#include "platform/module.h"

namespace kronel_bench {

// Of samples, at least one.
double Median(std::vector<double> values);
double Max(const std::vector<double>& values);

// Short runs without goals: scripts/bench --smoke.
bool Smoke();
void SetSmoke(bool smoke);

// Replaces the simulated library's model; false (and the message) when rejected.
bool LoadDescription(const std::string& text, std::string& error);
// {"targets": {"<target>": {"records": [<records>]}}}
std::string Description(const std::string& target, const std::string& records);
// `count` records of which the discovery rules offer about half.
std::string MixedRecords(std::size_t count);

// The plug-in DLL, loaded once for the whole run and reached through its exports.
class Plugin {
 public:
  using GetIOControlNamesFn = std::int32_t (*)(std::uint32_t, void*, void*, hostbind::UHandle*, void*,
                                               std::int32_t);
  static Plugin& Instance();
  // The same code linked into this program: its pool is the one SubmitNothing
  // reaches, so a call and its baseline wake threads of the same pool.
  static Plugin& Linked();

  bool Loaded() const { return getNames_ != nullptr && release_ != nullptr && setModule_ != nullptr; }
  std::int32_t GetIOControlNames(std::uint32_t appRef, hostbind::UHandle* slot,
                                 std::int32_t force = 0) const {
    return getNames_(appRef, nullptr, nullptr, slot, nullptr, force);
  }
  void ReleasingAppRef(std::uint32_t appRef) const { release_(appRef); }
  void SetZTRTModule(platform::ModuleHandle module) const { setModule_(module); }

 private:
  Plugin();
  Plugin(GetIOControlNamesFn getNames, void (*release)(std::uint32_t), void (*setModule)(platform::ModuleHandle))
      : getNames_(getNames), release_(release), setModule_(setModule) {}
  GetIOControlNamesFn getNames_ = nullptr;
  void (*release_)(std::uint32_t) = nullptr;
  void (*setModule_)(platform::ModuleHandle) = nullptr;
};

// A fresh library and engine serving kTarget to references 1..refs, and the
// plug-in loaded; false (and why) otherwise.
extern const char kTarget[];
bool SetUpTarget(std::uint32_t refs, std::string& error);
// Releases the references and waits until the library holds no object.
void TearDownTarget(std::uint32_t refs);

// Calls until the plug-in has delivered a list with names for the reference
// (disposing of it) and has then answered "unchanged" for 50 ms with no
// refresh begun; false when that did not come within the time.
bool PollUntilWritten(std::uint32_t appRef, std::chrono::milliseconds patience = std::chrono::seconds(20));
bool PollUntilWritten(const Plugin& plugin, std::uint32_t appRef,
                      std::chrono::milliseconds patience = std::chrono::seconds(20));

// A stretch of time on the steady clock, in nanoseconds.
struct Span {
  std::int64_t begin = 0, end = 0;
  double Microseconds() const { return static_cast<double>(end - begin) / 1e3; }
  bool Overlaps(const Span& other) const { return begin <= other.end && other.begin <= end; }
};

inline std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Keeps the compiler from dropping a result nobody reads.
template <class T>
inline void Keep(const T& value) {
  asm volatile("" : : "r,m"(value) : "memory");
}

template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds patience = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    Pause(std::chrono::microseconds(50));
  }
  return true;
}

}  // namespace kronel_bench
