// The project's configuration client calls the library's entry point by
// name, as the plug-in does through its import. The tool links no import
// library of kelmorrow: with one, the simulated library would be loaded
// with the tool, whatever the plug-in binds to. So the tool defines the
// entry point itself and forwards every call to the library it loaded at
// run time, the very module the plug-in uses. The executable does not
// export the definition, so the plug-in's import never meets it.
#include <atomic>

#include "library_entry_point.h"

namespace kronel_names {
namespace {

std::atomic<InstantiateFramework> loaded{nullptr};

}  // namespace

void ForwardEntryPointTo(InstantiateFramework entry) { loaded.store(entry); }

}  // namespace kronel_names

extern "C" HRESULT kelsysInstantiateFramework2(std::int32_t flag1, std::int32_t flag2,
                                               morrowkit::IqvSysFramework** framework) {
  const kronel_names::InstantiateFramework entry = kronel_names::loaded.load();
  if (entry == nullptr) {
    if (framework != nullptr) *framework = nullptr;
    return platform::kE_UNEXPECTED;
  }
  return entry(flag1, flag2, framework);
}
