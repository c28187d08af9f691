#pragma once
#include <cstdint>

namespace kronel {

constexpr std::uint32_t kPropertyStatus = 0x1024000;              // int32, 1 = usable
constexpr std::uint32_t kPropertyModelCode = 0x1005000;           // uint32
constexpr std::uint32_t kPropertyResourceName = 0x101F000;        // string
constexpr std::uint32_t kPropertyOperatingSystem = 0x104E000;     // string
constexpr std::uint32_t kPropertySourceCount = 0x101C000;         // int32
constexpr std::uint32_t kPropertySourceName = 0x101E000;          // string, indexed
constexpr std::uint32_t kPropertySourceResourceName = 0x101D000;  // string
constexpr std::uint32_t kPropertyHostName = 0x1025000;            // string

}  // namespace kronel
