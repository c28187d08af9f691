#include "provider/exports.h"

#include "provider/registry.h"

extern "C" {

std::int32_t GetIOControlNames(std::uint32_t appRef, void* /*unused*/, void* /*unused*/,
                               hostbind::UHandle* names, void* /*unused*/, std::int32_t force) {
  return provider::GetIOControlNames(appRef, names, force);
}

void ReleasingAppRef(std::uint32_t appRef) {
  provider::ReleasingAppRef(appRef);
}

}  // extern "C"
