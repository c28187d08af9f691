#pragma once
// The binder's process-wide settings, which the host may change at any time.
#include <atomic>
#include <cstdint>

#include "hostbind/binding_record.h"

namespace hostbind {

extern std::atomic<ModuleHandle> hostModule;
extern std::atomic<std::uint32_t> hostTlsIndex;

// Resolves through the process's own loader with the settings that hold now.
void* ResolveHostFunction(BindingRecord& record);

}  // namespace hostbind
