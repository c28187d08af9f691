#pragma once
// The binder's process-wide settings, which the host may change at any time.
#include <atomic>
#include <cstdint>

#include "hostbind/binding_record.h"
#include "hostbind/host_binder.h"

namespace hostbind {

extern std::atomic<ModuleHandle> hostModule;
extern std::atomic<std::uint32_t> hostTlsIndex;

// The loader interface and the search, for a module not yet in the slots.
void* ResolveThroughLoader(BindingRecord& record, ModuleHandle hostModule, std::uint32_t hostTlsIndex);

// Resolves through the process's own loader with the settings that hold now.
// Inline because every host call comes here: when the host named the module
// and a slot already holds it, the slots answer without the loader.
inline void* ResolveHostFunction(BindingRecord& record) {
  ModuleHandle module = hostModule.load(std::memory_order_acquire);
  std::uint32_t tlsIndex = hostTlsIndex.load(std::memory_order_acquire);
  if (ModuleHandle named = NamedHostModule(platform::TlsGetValue, module, tlsIndex)) {
    if (void* known = record.Known(named, platform::ImageVersionKey(named))) return known;
  }
  return ResolveThroughLoader(record, module, tlsIndex);
}

}  // namespace hostbind
