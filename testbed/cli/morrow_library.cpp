#include "morrow_library.h"

#include <filesystem>
#include <system_error>

#include "library_entry_point.h"
#include "library_modules.h"

namespace kronel_names {
namespace {

constexpr char kLibraryName[] = "kelmorrow";
constexpr char kEntryPoint[] = "kelsysInstantiateFramework2";

std::string LoadedPath(platform::ModuleHandle module) {
  char path[4096];
  const std::uint32_t length = platform::GetModuleFileNameA(module, path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : std::string();
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  const bool same = std::filesystem::equivalent(a, b, error);
  return !error && same;
}

bool IsFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

template <class Fn>
void Take(platform::ModuleHandle module, const std::string& path, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(platform::GetProcAddress(module, name));
  if (slot == nullptr) {
    throw LibraryError(path + ": not the testbed's simulated library (it has no export " + name + ")");
  }
}

InstantiateFramework EntryPoint(platform::ModuleHandle module) {
  return reinterpret_cast<InstantiateFramework>(platform::GetProcAddress(module, kEntryPoint));
}

}  // namespace

MorrowLibrary::MorrowLibrary(platform::ModuleHandle module, bool installed)
    : module_(module), path_(LoadedPath(module)), installed_(installed) {
  const InstantiateFramework entry = EntryPoint(module_);
  if (entry == nullptr) throw LibraryError(path_ + ": the library has no entry point " + kEntryPoint);
  simulation_ = platform::GetProcAddress(module_, "kelsimLoadText") != nullptr;
  ForwardEntryPointTo(entry);
}

MorrowLibrary MorrowLibrary::Simulated() {
  const std::string path = SharedLibraryPath(ProgramFolder(), kLibraryName);
  std::string why;
  platform::ModuleHandle module = LoadModuleAt(path, why);
  if (module == nullptr) throw LibraryError(path + ": the simulated library cannot be loaded: " + why);
  MorrowLibrary library(module, false);
  SimulationControl& control = library.control_;
  Take(module, path, "kelsimReset", control.reset);
  Take(module, path, "kelsimShutdown", control.shutdown);
  Take(module, path, "kelsimLoadText", control.loadText);
  Take(module, path, "kelsimApplyChange", control.applyChange);
  Take(module, path, "kelsimSetLatency", control.setLatency);
  Take(module, path, "kelsimSetFailure", control.setFailure);
  Take(module, path, "kelsimSetFailureFor", control.setFailureFor);
  Take(module, path, "kelsimRestartService", control.restartService);
  Take(module, path, "kelsimChangeProfile", control.changeProfile);
  Take(module, path, "kelsimClearFailures", control.clearFailures);
  Take(module, path, "kelsimCallCount", control.callCount);
  Take(module, path, "kelsimFailureCount", control.failureCount);
  Take(module, path, "kelsimLiveObjects", control.liveObjects);
  Take(module, path, "kelsimOutstandingReferences", control.outstandingReferences);
  Take(module, path, "kelsimDeliveredNotifications", control.deliveredNotifications);
  Take(module, path, "kelsimDroppedNotifications", control.droppedNotifications);
  return library;
}

MorrowLibrary MorrowLibrary::BoundToPlugin() {
  const std::string file = SharedLibraryPath("", kLibraryName);
  platform::ModuleHandle module = platform::GetModuleHandleA("kelmorrow.dll");
  if (module == nullptr) throw LibraryError(file + ": the plug-in is loaded, but no library of that name is");
  // Only the copy beside the tool is the testbed's own: a copy of it placed
  // where an installed library lies is taken as installed, and shown as a
  // simulation.
  const std::string path = LoadedPath(module);
  const std::string testbedCopy = SharedLibraryPath(ProgramFolder(), kLibraryName);
  if (SameFile(path, testbedCopy)) {
    throw LibraryError(path +
                       ": this is the testbed's simulated library beside kronel-names, not an installed one; "
                       "the plug-in's folder, the current folder or the search path leads to it");
  }
  return MorrowLibrary(module, true);
}

void MorrowLibrary::CheckLoadable(const std::string& pluginFolder) {
  const std::string file = SharedLibraryPath("", kLibraryName);
  std::string searched;
  for (const std::string& folder : ImportSearchFolders(pluginFolder)) {
    const std::string candidate = SharedLibraryPath(folder, kLibraryName);
    searched += (searched.empty() ? "" : ", ") + folder;
    if (!IsFile(candidate)) continue;
    std::string why;
    platform::ModuleHandle module = LoadModuleAt(candidate, why);
    if (module == nullptr) throw LibraryError(candidate + ": the library cannot be loaded: " + why);
    if (EntryPoint(module) == nullptr) {
      throw LibraryError(candidate + ": the library has no entry point " + kEntryPoint);
    }
    return;
  }
  throw LibraryError(file + ": no library of that name on the search path (searched " + searched + ")");
}

}  // namespace kronel_names
