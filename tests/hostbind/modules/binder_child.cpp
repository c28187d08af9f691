// A host process for the binder's tests. Each argument is one step:
//   load:PATH  unload:N  module:N  module:-  tlsindex  tlsindex:-  tlsvalue:N  call:FUNCTION
// where N counts the modules loaded so far from 0 and "-" sets the setting
// back to none. Calls print "FUNCTION RESULT"; a fatal end of the binder
// ends the process.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "hostbind/binder_exports.h"
#include "hostbind/host_binder.h"
#include "hostbind/host_runtime.h"
#include "platform/module.h"

#if defined(BINDER_MAIN_EXPORT)
extern "C" {
BINDER_EXPORT int BINDER_MAIN_EXPORT = 1;
}
#endif

namespace {

// A message box that waits for a user would keep the process alive.
constexpr int kExitStillRunning = 99;

int Fail(const std::string& why) {
  std::printf("binder_child: %s\n", why.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::thread([] {
    std::this_thread::sleep_for(std::chrono::seconds(30));
    std::fflush(stdout);
    std::_Exit(kExitStillRunning);
  }).detach();

  std::vector<platform::ModuleHandle> loaded;
  std::uint32_t tlsIndex = platform::kTlsOutOfIndexes;
  for (int i = 1; i < argc; ++i) {
    std::string step = argv[i];
    std::string::size_type colon = step.find(':');
    std::string verb = step.substr(0, colon);
    std::string value = colon == std::string::npos ? "" : step.substr(colon + 1);
    const bool none = value == "-";
    std::size_t n = verb == "load" || verb == "call" || value.empty() || none ? 0 : std::stoul(value);
    if (verb != "load" && verb != "call" && verb != "tlsindex" && !none && n >= loaded.size()) {
      return Fail("no module " + value);
    }
    if (verb == "load") {
      loaded.push_back(platform::LoadLibraryA(value.c_str()));
      if (loaded.back() == nullptr) return Fail("cannot load " + value);
    } else if (verb == "unload") {
      platform::FreeLibrary(loaded[n]);
    } else if (verb == "module") {
      SetZTRTModule(none ? nullptr : loaded[n]);
    } else if (verb == "tlsindex") {
      if (!none) tlsIndex = platform::TlsAlloc();
      SetZTRTTLSIndex(none ? hostbind::kTlsIndexNotSet : tlsIndex);
    } else if (verb == "tlsvalue") {
      platform::TlsSetValue(tlsIndex, loaded[n]);
    } else if (verb == "call" && value == "TargetURL") {
      std::printf("TargetURL %d\n", static_cast<int>(hostbind::TargetURL(0, nullptr)));
    } else if (verb == "call" && value == "DSDisposeHandle") {
      std::printf("DSDisposeHandle %d\n", static_cast<int>(hostbind::DSDisposeHandle(nullptr)));
    } else {
      return Fail("unknown step " + step);
    }
    std::fflush(stdout);
  }
  return 0;
}
