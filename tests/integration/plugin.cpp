#include "plugin.h"

#ifndef KRONEL_PLUGIN_PATH
#define KRONEL_PLUGIN_PATH "kronel_ztprovider.dll"
#endif

namespace integration {

template <class Fn>
Fn Export(platform::ModuleHandle module, const char* name) {
  return reinterpret_cast<Fn>(platform::GetProcAddress(module, name));
}

Plugin::Plugin() : module_(platform::LoadLibraryA(KRONEL_PLUGIN_PATH)) {
  if (module_ == nullptr) return;
  getNames_ = Export<GetIOControlNamesFn>(module_, "GetIOControlNames");
  release_ = Export<ReleasingAppRefFn>(module_, "ReleasingAppRef");
  setModule_ = Export<SetModuleFn>(module_, "SetZTRTModule");
  setTlsIndex_ = Export<SetTlsIndexFn>(module_, "SetZTRTTLSIndex");
}

Plugin::~Plugin() {
  if (module_ != nullptr) platform::FreeLibrary(module_);
}

}  // namespace integration
