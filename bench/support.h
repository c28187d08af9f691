#pragma once
// What the benchmarks share: the simulated library and engine set up from a
// description, the plug-in loaded as the host loads it, and the process's
// threads and heap as the kernel and allocator see them.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>

#include "hostbind/host_types.h"
#include "platform/module.h"

namespace kronel_bench {

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

  bool Loaded() const { return getNames_ != nullptr && release_ != nullptr && setModule_ != nullptr; }
  std::int32_t GetIOControlNames(std::uint32_t appRef, hostbind::UHandle* slot, std::int32_t force = 0) const {
    return getNames_(appRef, nullptr, nullptr, slot, nullptr, force);
  }
  void ReleasingAppRef(std::uint32_t appRef) const { release_(appRef); }
  void SetZTRTModule(platform::ModuleHandle module) const { setModule_(module); }

 private:
  Plugin();
  GetIOControlNamesFn getNames_ = nullptr;
  void (*release_)(std::uint32_t) = nullptr;
  void (*setModule_)(platform::ModuleHandle) = nullptr;
};

// Calls until the plug-in has delivered a list with names for the reference
// (disposing of it); false when none came within the time.
bool PollUntilWritten(std::uint32_t appRef, std::chrono::milliseconds patience = std::chrono::seconds(20));

template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds patience = std::chrono::seconds(20)) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
  return true;
}

// Threads of this process, from /proc/self/task.
std::size_t ThreadCount();
// Bytes the C heap has handed out and not taken back.
std::size_t HeapInUse();

}  // namespace kronel_bench
