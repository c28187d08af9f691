#include "hostbind/binder_exports.h"

#include "hostbind/binder_settings.h"

extern "C" {

void SetZTRTModuleHook(std::uintptr_t) {}

void SetZTRTTLSIndexHook(std::uintptr_t) __attribute__((alias("SetZTRTModuleHook")));

void SetZTRTModule(platform::ModuleHandle module) {
  hostbind::hostModule.store(module, std::memory_order_release);
  SetZTRTModuleHook(reinterpret_cast<std::uintptr_t>(module));
}

void SetZTRTTLSIndex(std::uint32_t index) {
  hostbind::hostTlsIndex.store(index, std::memory_order_release);
  SetZTRTTLSIndexHook(index);
}

}
