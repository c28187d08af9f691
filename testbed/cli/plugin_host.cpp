#include "plugin_host.h"

#include <filesystem>
#include <system_error>
#include <thread>

#include "library_modules.h"
#include "ztrtsim.h"

namespace kronel_names {
namespace {

template <class Fn>
Fn Export(platform::ModuleHandle module, const std::string& path, const char* name) {
  void* address = platform::GetProcAddress(module, name);
  if (address == nullptr) throw PluginError(path + ": the plug-in has no export " + name);
  return reinterpret_cast<Fn>(address);
}

std::string ReadName(const void* list, std::int32_t index) {
  std::string name(256, '\0');
  std::size_t length = 0;
  int status = ztrtsimListGetStringAttr(list, index, "n", &name[0], name.size(), &length);
  if (status == ZTRTSIM_ERR_BUFFER) {
    name.assign(length + 1, '\0');
    status = ztrtsimListGetStringAttr(list, index, "n", &name[0], name.size(), &length);
  }
  if (status != ZTRTSIM_OK) {
    throw PluginError("element " + std::to_string(index) +
                      " of the delivered list has no readable name (engine status " + std::to_string(status) +
                      ")");
  }
  name.resize(length);
  return name;
}

// Disposes of a list the plug-in handed over, on every way out.
class DeliveredList {
 public:
  explicit DeliveredList(void** handle) : handle_(handle) {}
  ~DeliveredList() {
    if (handle_ != nullptr) ztrtsimDisposeNameList(handle_);
  }
  DeliveredList(const DeliveredList&) = delete;
  DeliveredList& operator=(const DeliveredList&) = delete;

  std::vector<std::string> Names() const {
    const std::int32_t count = ztrtsimListCount(handle_);
    if (count < 2)
      throw PluginError("the delivered list holds " + std::to_string(count) + " elements, fewer than 2");
    std::vector<std::string> names;
    for (std::int32_t i = 0; i + 2 < count; ++i) names.push_back(ReadName(handle_, i));
    return names;
  }

 private:
  void** handle_;
};

}  // namespace

const char* ResultName(std::int32_t result) {
  switch (result) {
    case kResultWritten:
      return "written";
    case kResultUnchanged:
      return "unchanged";
    case kResultPending:
      return "pending";
    case kResultNoMemory:
      return "no memory";
    case kResultFailure:
      return "failure";
    default:
      return "unknown";
  }
}

std::string DefaultPluginPath() {
  const std::string folder = ProgramFolder();
  const std::filesystem::path packaged =
      std::filesystem::path(SharedLibraryPath(folder + "../plugin/", "kronel_ztprovider")).lexically_normal();
  std::error_code error;
  if (std::filesystem::is_regular_file(packaged, error)) return packaged.string();
  return SharedLibraryPath(folder, "kronel_ztprovider");
}

PluginHost::PluginHost(const std::string& path) : path_(path) {
  std::string why;
  module_ = LoadModuleAt(path, why);
  if (module_ == nullptr) throw PluginError(path + ": the plug-in cannot be loaded: " + why);
  char loaded[4096];
  const std::uint32_t length = platform::GetModuleFileNameA(module_, loaded, sizeof loaded);
  if (length > 0 && length < sizeof loaded) path_.assign(loaded, length);
  getNames_ = Export<GetIOControlNamesFn>(module_, path, "GetIOControlNames");
  release_ = Export<ReleasingAppRefFn>(module_, path, "ReleasingAppRef");
  const auto setModule = Export<SetZTRTModuleFn>(module_, path, "SetZTRTModule");
  platform::ModuleHandle engine = platform::GetModuleHandleA("ztrt.dll");
  if (engine == nullptr) throw PluginError("the run-time engine ztrt is not loaded");
  setModule(engine);
}

void PluginHost::Serve(std::uint32_t appRef, const std::string& url) {
  if (ztrtsimSetTargetURL(appRef, url.data(), static_cast<std::int32_t>(url.size())) != ZTRTSIM_OK) {
    throw PluginError("the run-time engine refused the URL of application reference " +
                      std::to_string(appRef));
  }
}

PluginHost::Answer PluginHost::Ask(std::uint32_t appRef) {
  void** slot = nullptr;
  Answer answer;
  answer.result = getNames_(appRef, nullptr, nullptr, &slot, nullptr, 0);
  // A failure may leave a half-written list in the slot; it is ours to dispose of too.
  DeliveredList list(slot);
  if (answer.result == kResultWritten) answer.names = list.Names();
  return answer;
}

bool PluginHost::Release(const std::vector<std::uint32_t>& appRefs, std::chrono::milliseconds patience,
                         std::uint64_t (*liveObjects)()) {
  for (std::uint32_t appRef : appRefs) release_(appRef);
  if (liveObjects == nullptr) return true;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (liveObjects() != 0) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace kronel_names
