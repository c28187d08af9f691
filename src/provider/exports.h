#pragma once
// The provider calls that Zentro makes, with the host's calling shape.
#include <cstdint>

#include "hostbind/host_types.h"

extern "C" {

std::int32_t GetIOControlNames(std::uint32_t appRef, void*, void*, hostbind::UHandle* names, void*,
                               std::int32_t force);
void ReleasingAppRef(std::uint32_t appRef);

}  // extern "C"
