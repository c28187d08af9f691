#pragma once
// The Morrow configuration library, loaded at run time: the testbed's
// simulated one beside the tool, or the one the plug-in binds to on this
// machine. The tool never links it, so that nothing of the simulation is
// loaded when the installed library is asked.
#include <stdexcept>
#include <string>

#include "kelsim.h"
#include "platform/module.h"

namespace kronel_names {

// No usable library: exit code 2.
class LibraryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The simulation's control API, taken from the simulated library by name.
struct SimulationControl {
  decltype(&kelsimReset) reset = nullptr;
  decltype(&kelsimShutdown) shutdown = nullptr;
  decltype(&kelsimLoadText) loadText = nullptr;
  decltype(&kelsimApplyChange) applyChange = nullptr;
  decltype(&kelsimSetLatency) setLatency = nullptr;
  decltype(&kelsimSetFailure) setFailure = nullptr;
  decltype(&kelsimSetFailureFor) setFailureFor = nullptr;
  decltype(&kelsimRestartService) restartService = nullptr;
  decltype(&kelsimChangeProfile) changeProfile = nullptr;
  decltype(&kelsimClearFailures) clearFailures = nullptr;
  decltype(&kelsimCallCount) callCount = nullptr;
  decltype(&kelsimFailureCount) failureCount = nullptr;
  decltype(&kelsimLiveObjects) liveObjects = nullptr;
  decltype(&kelsimOutstandingReferences) outstandingReferences = nullptr;
  decltype(&kelsimDeliveredNotifications) deliveredNotifications = nullptr;
  decltype(&kelsimDroppedNotifications) droppedNotifications = nullptr;
};

class MorrowLibrary {
 public:
  // The simulated library in the tool's folder, by its path, loaded before
  // the plug-in so that the plug-in binds to it.
  static MorrowLibrary Simulated();
  // The library that the loaded plug-in has bound to. Refuses the testbed's
  // simulated library beside the tool; any other file counts as installed.
  static MorrowLibrary BoundToPlugin();
  // Called when the plug-in could not be loaded: finds the library its
  // import would take from `pluginFolder` and throws, naming the file and
  // why it cannot be used. Returns when that library loads and has its
  // entry point, so that the plug-in failed for another reason.
  static void CheckLoadable(const std::string& pluginFolder);

  // Kept loaded to the end, as the plug-in keeps it.
  ~MorrowLibrary() = default;

  const std::string& path() const { return path_; }
  bool installed() const { return installed_; }
  // Null for an installed library: the tool never drives it.
  const SimulationControl* control() const { return installed_ ? nullptr : &control_; }
  // An installed library that also exports the simulation's control API.
  bool simulation() const { return installed_ && simulation_; }
  platform::ModuleHandle module() const { return module_; }

 private:
  MorrowLibrary(platform::ModuleHandle module, bool installed);

  platform::ModuleHandle module_;
  std::string path_;
  bool installed_;
  bool simulation_ = false;
  SimulationControl control_;
};

}  // namespace kronel_names
