#pragma once
#include <cstdint>

#include "hostbind/host_types.h"
#include "platform/module.h"

namespace integration {

// The plug-in DLL, loaded by name and reached only through its exports.
class Plugin {
 public:
  using GetIOControlNamesFn = std::int32_t (*)(std::uint32_t, void*, void*, hostbind::UHandle*, void*,
                                               std::int32_t);
  using ReleasingAppRefFn = void (*)(std::uint32_t);
  using SetModuleFn = void (*)(platform::ModuleHandle);
  using SetTlsIndexFn = void (*)(std::uint32_t);

  Plugin();
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  bool Loaded() const { return module_ != nullptr && getNames_ != nullptr && release_ != nullptr; }

  std::int32_t GetIOControlNames(std::uint32_t appRef, hostbind::UHandle* slot, std::int32_t force) const {
    return getNames_(appRef, nullptr, nullptr, slot, nullptr, force);
  }
  void ReleasingAppRef(std::uint32_t appRef) const { release_(appRef); }
  void SetZTRTModule(platform::ModuleHandle module) const { setModule_(module); }
  void SetZTRTTLSIndex(std::uint32_t index) const { setTlsIndex_(index); }

 private:
  platform::ModuleHandle module_ = nullptr;
  GetIOControlNamesFn getNames_ = nullptr;
  ReleasingAppRefFn release_ = nullptr;
  SetModuleFn setModule_ = nullptr;
  SetTlsIndexFn setTlsIndex_ = nullptr;
};

}  // namespace integration
