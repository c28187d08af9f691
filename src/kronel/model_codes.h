#pragma once
#include <cstdint>

namespace kronel {

// Timing and synchronisation devices whose resource names are offered.
constexpr std::uint32_t kDeviceModelCodes[] = {0x7066, 0x7065, 0x7047, 0x72FB, 0x71DC, 0x72B8,
                                               0x745A, 0x7303, 0x7405, 0x7406, 0x75E5, 0x75E6};

// Real-time systems whose system resource is offered.
constexpr std::uint32_t kSystemModelCodes[] = {0x78C7, 0x78B9, 0x7A07, 0x7945, 0x7941, 0x79FF, 0x7943};

}  // namespace kronel
