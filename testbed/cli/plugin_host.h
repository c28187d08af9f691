#pragma once
// The plug-in loaded and called the way Zentro does it: by name, through its
// exports, with the simulated run-time engine answering its host calls.
#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/module.h"

namespace kronel_names {

constexpr std::int32_t kResultWritten = 0;
constexpr std::int32_t kResultUnchanged = 1;
constexpr std::int32_t kResultPending = 2;
constexpr std::int32_t kResultNoMemory = 6;
constexpr std::int32_t kResultFailure = 7;

// "pending", "written", ...
const char* ResultName(std::int32_t result);

// The plug-in cannot be used: exit code 1.
class PluginError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The plug-in in ../plugin beside the tool's folder, as the package lays it
// out, or else in the tool's own folder, as the build tree does.
std::string DefaultPluginPath();

class PluginHost {
 public:
  // Loads the plug-in, its imports searched for from its own folder, and
  // hands it the run-time engine's module, as the host does. Throws PluginError.
  explicit PluginHost(const std::string& path);
  // Keeps the plug-in loaded: the process ends soon after, and an unload
  // would pull the code away from a refresh worker that is just returning.
  ~PluginHost() = default;
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  const std::string& path() const { return path_; }

  // TargetURL answers `url` for the application reference.
  void Serve(std::uint32_t appRef, const std::string& url);

  struct Answer {
    std::int32_t result = kResultFailure;
    std::optional<std::vector<std::string>> names;  // with kResultWritten
  };
  // One call of GetIOControlNames; a delivered list is read and disposed of.
  // Throws PluginError when a delivered list cannot be read.
  Answer Ask(std::uint32_t appRef);

  // Releases the references and, with `liveObjects` (a library that counts
  // them), waits until the library holds no object, so that no refresh
  // worker still runs. False on timeout.
  bool Release(const std::vector<std::uint32_t>& appRefs, std::chrono::milliseconds patience,
               std::uint64_t (*liveObjects)());

 private:
  using GetIOControlNamesFn = std::int32_t (*)(std::uint32_t, void*, void*, void***, void*, std::int32_t);
  using ReleasingAppRefFn = void (*)(std::uint32_t);
  using SetZTRTModuleFn = void (*)(platform::ModuleHandle);

  std::string path_;
  platform::ModuleHandle module_ = nullptr;
  GetIOControlNamesFn getNames_ = nullptr;
  ReleasingAppRefFn release_ = nullptr;
};

}  // namespace kronel_names
