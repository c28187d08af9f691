#include "hostbind/binder_settings.h"

namespace hostbind {

std::atomic<ModuleHandle> hostModule{nullptr};
std::atomic<std::uint32_t> hostTlsIndex{kTlsIndexNotSet};

void* ResolveThroughLoader(BindingRecord& record, ModuleHandle module, std::uint32_t tlsIndex) {
  PlatformModules modules;
  return ResolveHostFunction(record, modules, module, tlsIndex);
}

}  // namespace hostbind
