#include "hostbind/binder_settings.h"

#include "hostbind/host_binder.h"

namespace hostbind {

std::atomic<ModuleHandle> hostModule{nullptr};
std::atomic<std::uint32_t> hostTlsIndex{kTlsIndexNotSet};

void* ResolveHostFunction(BindingRecord& record) {
  PlatformModules modules;
  return ResolveHostFunction(record, modules, hostModule.load(std::memory_order_acquire),
                             hostTlsIndex.load(std::memory_order_acquire));
}

}  // namespace hostbind
