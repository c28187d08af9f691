#pragma once
// A module table for the binder that tests script: modules are loaded and
// unloaded at will, each export has an address of its own per module, and a
// fatal end throws instead of ending the process.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "hostbind/binding_record.h"
#include "hostbind/modules.h"

namespace hostbind_test {

using hostbind::ModuleHandle;

struct FatalEnd {
  std::string text;
};

class ScriptedModules : public hostbind::Modules {
 public:
  static const std::vector<std::string> kHostFunctions;

  ScriptedModules();
  ~ScriptedModules() override;

  // `name` is what GetModuleHandleA finds it by; the file name is derived from it.
  ModuleHandle Add(const std::string& name, std::uint32_t key,
                   const std::vector<std::string>& exports = kHostFunctions);
  void Unload(ModuleHandle module);
  void Reload(ModuleHandle module, std::uint32_t key);
  void SetMain(ModuleHandle module) { main_ = module; }
  void SetTlsIndex(std::uint32_t index) { tlsIndex_ = index; }

  // The calling thread's value of the TLS index.
  static void SetThreadModule(ModuleHandle module);

  // The address GetProcAddress gives for an export of the module.
  void* AddressOf(ModuleHandle module, const std::string& name) const;

  int Lookups() const { return lookups_.load(); }

  // Runs inside GetProcAddress, before it answers.
  std::function<void(ModuleHandle, const char*)> onLookup;

  ModuleHandle GetModuleHandleA(const char* name) override;
  void* GetProcAddress(ModuleHandle module, const char* name) override;
  std::uint32_t GetModuleFileNameA(ModuleHandle module, char* buffer, std::uint32_t size) override;
  void* TlsGetValue(std::uint32_t index) override;
  std::uint32_t ImageVersionKey(ModuleHandle module) override;
  [[noreturn]] void Fatal(const char* text) override;

 private:
  struct Entry {
    std::string name;
    std::vector<std::string> exports;
    std::atomic<std::uint32_t> key{0};
    std::atomic<bool> loaded{true};
  };

  const Entry* Find(ModuleHandle module) const;

  std::deque<Entry> entries_;
  ModuleHandle main_ = nullptr;
  std::uint32_t tlsIndex_ = 0xFFFFFFFF;
  std::atomic<int> lookups_{0};
};

// One slot of a record as a test sees it.
hostbind::SlotState SlotOf(const hostbind::BindingRecord& record, int index);

}  // namespace hostbind_test
