#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "hostbind/host_types.h"

namespace provider {

constexpr std::int32_t kListWritten = 0;
constexpr std::int32_t kListNoMemory = 6;

// Writes the names, then the two fixed elements, as a host variant array
// into *slot. The slot receives the new handle (or null) before anything
// else; a name the host cannot convert raises and leaves the list partly
// written with its count still 0.
std::int32_t WriteNameList(const std::vector<std::string>& names, hostbind::UHandle* slot);

}  // namespace provider
