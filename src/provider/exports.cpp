// The provider calls that Zentro makes, with the host's calling shape.
#include <cstdint>

#include "platform/module_reference.h"
#include "provider/registry.h"

extern "C" {

std::int32_t GetIOControlNames(std::uint32_t appRef, void* /*unused*/, void* /*unused*/,
                               hostbind::UHandle* names, void* /*unused*/, std::int32_t force) {
  // The host keeps the module loaded until its call returns.
  platform::ModuleHeld held;
  return provider::GetIOControlNames(appRef, names, force);
}

void ReleasingAppRef(std::uint32_t appRef) {
  platform::ModuleHeld held;
  provider::ReleasingAppRef(appRef);
}

}  // extern "C"
