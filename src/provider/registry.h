#pragma once
#include <cstdint>

#include "hostbind/host_types.h"

namespace provider {

// Result codes of GetIOControlNames.
constexpr std::int32_t kResultWritten = 0;
constexpr std::int32_t kResultUnchanged = 1;
constexpr std::int32_t kResultPending = 2;
constexpr std::int32_t kResultNoMemory = 6;
constexpr std::int32_t kResultFailure = 7;

std::int32_t GetIOControlNames(std::uint32_t appRef, hostbind::UHandle* slot, std::int32_t force);
void ReleasingAppRef(std::uint32_t appRef);

}  // namespace provider
