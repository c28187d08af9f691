#pragma once
// What the binder asks of the loader, behind one interface so that the same
// algorithm runs over the real loader and over a scripted module table.
#include <cstdint>

#include "platform/module.h"

namespace hostbind {

using ModuleHandle = platform::ModuleHandle;

class Modules {
 public:
  virtual ~Modules() = default;

  virtual ModuleHandle GetModuleHandleA(const char* name) = 0;
  virtual void* GetProcAddress(ModuleHandle module, const char* name) = 0;
  virtual std::uint32_t GetModuleFileNameA(ModuleHandle module, char* buffer, std::uint32_t size) = 0;
  virtual void* TlsGetValue(std::uint32_t index) = 0;
  virtual std::uint32_t ImageVersionKey(ModuleHandle module) = 0;
  [[noreturn]] virtual void Fatal(const char* text) = 0;
};

// The process's own loader; Fatal shows the text and ends the process.
class PlatformModules : public Modules {
 public:
  ModuleHandle GetModuleHandleA(const char* name) override;
  void* GetProcAddress(ModuleHandle module, const char* name) override;
  std::uint32_t GetModuleFileNameA(ModuleHandle module, char* buffer, std::uint32_t size) override;
  void* TlsGetValue(std::uint32_t index) override;
  std::uint32_t ImageVersionKey(ModuleHandle module) override;
  [[noreturn]] void Fatal(const char* text) override;
};

}  // namespace hostbind
