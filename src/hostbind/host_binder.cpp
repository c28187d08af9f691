#include "hostbind/host_binder.h"

#include <cstdio>

namespace hostbind {

const char kNoHostModuleText[] = "zentrov.lib was not called from a Zentro process.";

void FormatUnresolvedText(const char* name, char (&text)[256]) {
  std::snprintf(text, sizeof text,
                "zentrov.lib was unable to locate a suitable location to resolve \"%s\". This may happen "
                "when too many instances of Zentro have been loaded into the same process.",
                name);
}

namespace {

// The caller's own module asked for the name at most once per resolve. Its
// answer is right for the caller whatever the slots hold.
class OwnAddress {
 public:
  OwnAddress(Modules& modules, ModuleHandle module, const char* name)
      : modules_(modules), module_(module), name_(name) {}

  void* Get() {
    if (!known_) {
      address_ = modules_.GetProcAddress(module_, name_);
      known_ = true;
    }
    return address_;
  }

 private:
  Modules& modules_;
  ModuleHandle module_;
  const char* name_;
  void* address_ = nullptr;
  bool known_ = false;
};

bool Holds(const SlotState& state, ModuleHandle module, std::uint64_t key) {
  return state.module == module && state.versionKey == key;
}

void* Search(BindingRecord& record, ModuleHandle module, std::uint64_t key, OwnAddress& own) {
  // A slot in the middle of a change may be about to hold this module; taking
  // another slot for it then would spend two on one module.
  bool skippedChanging = false;
  for (BindingSlot& slot : record.slots) {
    SlotState seen;
    if (!slot.Read(seen)) {
      skippedChanging = true;
      continue;
    }
    if (Holds(seen, module, key)) return seen.address;
    bool sameKey = seen.versionKey == key;
    bool sameModule = seen.module == module;
    if (!sameKey && !sameModule && seen.module != nullptr) continue;

    void* address = own.Get();
    if (skippedChanging) return address;
    if (slot.Replace(seen, module, key, address) || sameKey || sameModule) return address;
    // Lost the race for a free slot.
    if (!slot.Read(seen)) {
      skippedChanging = true;
    } else if (Holds(seen, module, key)) {
      return seen.address;
    }
  }
  return skippedChanging ? own.Get() : nullptr;
}

void* TakeOverStale(BindingRecord& record, ModuleHandle module, std::uint64_t key, Modules& modules,
                    OwnAddress& own) {
  for (BindingSlot& slot : record.slots) {
    SlotState seen;
    if (!slot.Read(seen) || seen.module == nullptr) continue;
    char path[261];
    if (modules.GetModuleFileNameA(seen.module, path, sizeof path) != 0) continue;
    void* address = own.Get();
    if (slot.Replace(seen, module, key, address)) return address;
    if (slot.Read(seen) && Holds(seen, module, key)) return seen.address;
  }
  return nullptr;
}

}  // namespace

ModuleHandle FindHostModule(Modules& modules, ModuleHandle hostModule, std::uint32_t hostTlsIndex) {
  auto readTls = [&modules](std::uint32_t index) { return modules.TlsGetValue(index); };
  if (ModuleHandle named = NamedHostModule(readTls, hostModule, hostTlsIndex)) return named;
  ModuleHandle main = modules.GetModuleHandleA(nullptr);
  if (main != nullptr && (modules.GetProcAddress(main, "gZTRTVersion") != nullptr ||
                          modules.GetProcAddress(main, "AZNewHandle") != nullptr)) {
    return main;
  }
  if (ModuleHandle ztrt = modules.GetModuleHandleA("ztrt.dll")) return ztrt;
  return modules.GetModuleHandleA("ztffrt.dll");
}

void* SearchSlots(BindingRecord& record, ModuleHandle module, std::uint64_t key, Modules& modules) {
  OwnAddress own(modules, module, record.name);
  return Search(record, module, key, own);
}

void* ResolveHostFunction(BindingRecord& record, Modules& modules, ModuleHandle hostModule,
                          std::uint32_t hostTlsIndex) {
  ModuleHandle module = FindHostModule(modules, hostModule, hostTlsIndex);
  if (module == nullptr) modules.Fatal(kNoHostModuleText);
  std::uint64_t key = modules.ImageVersionKey(module);
  OwnAddress own(modules, module, record.name);
  void* address = Search(record, module, key, own);
  if (address == nullptr) address = TakeOverStale(record, module, key, modules, own);
  if (address == nullptr) address = Search(record, module, key, own);
  if (address == nullptr) {
    char text[256];
    FormatUnresolvedText(record.name, text);
    modules.Fatal(text);
  }
  return address;
}

}  // namespace hostbind
