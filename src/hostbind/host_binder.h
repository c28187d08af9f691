#pragma once
// Finds the host run-time engine that serves the calling thread and the
// address of a function in it, keeping addresses per module and image version.
#include <cstdint>

#include "hostbind/binding_record.h"
#include "hostbind/modules.h"

namespace hostbind {

constexpr std::uint32_t kTlsIndexNotSet = 0xFFFFFFFF;

extern const char kNoHostModuleText[];

// The text of the fatal end when no address can be found for `name`.
void FormatUnresolvedText(const char* name, char (&text)[256]);

// The module the host named: the calling thread's, else the process-wide one.
// Null when it named none.
template <typename ReadTls>
ModuleHandle NamedHostModule(ReadTls readTls, ModuleHandle hostModule, std::uint32_t hostTlsIndex) {
  if (hostTlsIndex != kTlsIndexNotSet) {
    if (void* threadModule = readTls(hostTlsIndex)) return static_cast<ModuleHandle>(threadModule);
  }
  return hostModule;
}

// Null when no host module applies. Never loads a module.
ModuleHandle FindHostModule(Modules& modules, ModuleHandle hostModule, std::uint32_t hostTlsIndex);

// The address kept for the module (after claiming or refreshing a slot for it),
// or null when the record has no slot for it or the module lacks the export.
void* SearchSlots(BindingRecord& record, ModuleHandle module, std::uint64_t key, Modules& modules);

// Never returns null: where nothing is found, Modules::Fatal ends the call.
void* ResolveHostFunction(BindingRecord& record, Modules& modules, ModuleHandle hostModule,
                          std::uint32_t hostTlsIndex);

}  // namespace hostbind
