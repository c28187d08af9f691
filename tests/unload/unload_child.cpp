// A host that frees the plug-in while work of it is still in flight, waits
// until the library has let go of everything, then loads the plug-in again
// and uses it. Usage: unload_child SCENARIO PROFILE. Exit code 0 when every
// step held; the last line says whether the image stayed, pinned, through
// the host's FreeLibrary, and whether loading again found that same image.
#include <cstdio>
#include <cstring>
#include <string>

#include "hostbind/host_types.h"
#include "kelsim.h"
#include "library_profiles.h"
#include "platform/module.h"
#include "plugin.h"
#include "sim_library.h"
#include "wait_for.h"
#include "ztrtsim.h"

namespace {

const char kDescription[] = R"({"targets": {"": {"records": [
  {"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"}]}}})";

int Fail(const std::string& why) {
  std::fprintf(stderr, "unload_child: %s\n", why.c_str());
  return 2;
}

using test_support::WaitFor;

bool Control(int32_t status, const char* error) {
  if (status != 0) std::fprintf(stderr, "unload_child: %s\n", error);
  return status == 0;
}

bool SetLatency(const char* operation, std::uint32_t milliseconds) {
  char error[256] = "";
  return Control(kelsimSetLatency(operation, milliseconds, error, sizeof error), error);
}

// Calls as the host does until a list is written, and checks its length.
bool ListArrives(const integration::Plugin& plugin, std::int32_t names) {
  return WaitFor([&] {
    hostbind::UHandle slot = nullptr;
    const std::int32_t result = plugin.GetIOControlNames(1, &slot, 0);
    if (slot == nullptr) return false;
    const bool complete = result == 0 && ztrtsimListCount(slot) == names + 2;
    ztrtsimDisposeNameList(slot);
    return complete;
  });
}

// Leaves the first plug-in with work in flight, as the scenario says.
bool StartWork(const std::string& scenario, const integration::Plugin& plugin) {
  hostbind::UHandle slot = nullptr;
  if (scenario == "refresh" || scenario == "exit") {
    if (!SetLatency("FindHardware", scenario == "exit" ? 3000 : 500)) return false;
    if (plugin.GetIOControlNames(1, &slot, 0) != 2) return false;
    return WaitFor([] { return kelsimCallCount("FindHardware") == 1; });
  }
  if (!ListArrives(plugin, 1)) return false;
  if (scenario == "notification") {
    if (!SetLatency("OnConfigurationChanged", 300)) return false;
    char error[256] = "";
    const char change[] = R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"}]})";
    if (!Control(kelsimApplyChange("", change, "change.json", error, sizeof error), error)) return false;
    // The library has taken its reference for the callback and is about to
    // make it, or has made it already, inline.
    return WaitFor([] { return kelsimHandlerReferences() >= 2 || kelsimDeliveredNotifications() > 0; });
  }
  return scenario == "idle";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: unload_child SCENARIO PROFILE");
  const std::string scenario = argv[1];
  const road::LibraryProfile* profile = road::FindProfile(argv[2]);
  if (profile == nullptr) return Fail(std::string("no profile ") + argv[2]);

  kelsimReset();
  char error[512] = "";
  if (!Control(kelsimSetProfile(profile->settings.c_str(), error, sizeof error), error)) return 2;
  if (!Control(kelsimLoadText(kDescription, "unload.json", error, sizeof error), error)) return 2;
  if (ztrtsimSetTargetURLNull(1) != ZTRTSIM_OK) return Fail("no target URL");

  platform::ModuleHandle image = nullptr;
  {
    integration::Plugin first;
    if (!first.Loaded()) return Fail("the plug-in did not load");
    image = platform::GetModuleHandleA("kronel_ztprovider.dll");
    first.SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
    if (!StartWork(scenario, first)) return Fail("the work did not start: " + scenario);
    if (scenario == "exit") {
      // The process ends with the refresh still inside the library.
      std::printf("exiting\n");
      std::fflush(stdout);
      return 0;
    }
    first.ReleasingAppRef(1);
  }
  const bool pinned = platform::GetModuleHandleA("kronel_ztprovider.dll") == image;
  if (!test_support::kelsim::WaitUntilQuiet())
    return Fail("the first plug-in left " + test_support::kelsim::Leftovers());
  SetLatency("FindHardware", 0);
  SetLatency("OnConfigurationChanged", 0);

  {
    integration::Plugin second;
    if (!second.Loaded()) return Fail("the plug-in did not load again");
    if (platform::GetModuleHandleA("kronel_ztprovider.dll") != image) return Fail("loading again found another image");
    second.SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
    if (!ListArrives(second, scenario == "notification" ? 2 : 1))
      return Fail("the reloaded plug-in gave no list");
    second.ReleasingAppRef(1);
  }
  if (!test_support::kelsim::WaitUntilQuiet())
    return Fail("the second plug-in left " + test_support::kelsim::Leftovers());
  std::printf("%s\n", pinned ? "pinned" : "unloaded");
  return 0;
}
