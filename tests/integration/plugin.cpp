#include "plugin.h"

namespace integration {

template <class Fn>
Fn Export(platform::ModuleHandle module, const char* name) {
  return reinterpret_cast<Fn>(platform::GetProcAddress(module, name));
}

Plugin::Plugin() : module_(platform::LoadLibraryA("kronel_ztprovider.dll")) {
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
