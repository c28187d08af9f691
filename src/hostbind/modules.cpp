#include "hostbind/modules.h"

namespace hostbind {

ModuleHandle PlatformModules::GetModuleHandleA(const char* name) { return platform::GetModuleHandleA(name); }

void* PlatformModules::GetProcAddress(ModuleHandle module, const char* name) {
  return platform::GetProcAddress(module, name);
}

std::uint32_t PlatformModules::GetModuleFileNameA(ModuleHandle module, char* buffer, std::uint32_t size) {
  return platform::GetModuleFileNameA(module, buffer, size);
}

void* PlatformModules::TlsGetValue(std::uint32_t index) { return platform::TlsGetValue(index); }

std::uint32_t PlatformModules::ImageVersionKey(ModuleHandle module) { return platform::ImageVersionKey(module); }

void PlatformModules::Fatal(const char* text) { platform::FatalExit(text); }

}  // namespace hostbind
