#pragma once
// The plug-in's discovery rules as the tool states them: which property of a
// record each rule reads, and which model codes are listed.
#include <cstdint>
#include <set>

namespace kronel_names {

constexpr std::uint32_t kPropertyStatus = 0x1024000;
constexpr std::uint32_t kPropertyModelCode = 0x1005000;
constexpr std::uint32_t kPropertyResourceName = 0x101F000;
constexpr std::uint32_t kPropertyOperatingSystem = 0x104E000;
constexpr std::uint32_t kPropertySourceCount = 0x101C000;
constexpr std::uint32_t kPropertySourceName = 0x101E000;  // + index
constexpr std::uint32_t kPropertySourceResourceName = 0x101D000;
constexpr std::uint32_t kPropertyHostName = 0x1025000;

// The plug-in refuses to read a source name at this index or beyond.
constexpr std::uint32_t kSourceIndexLimit = 4095;

inline const std::set<std::uint32_t>& DeviceModels() {
  static const std::set<std::uint32_t> models = {0x7066, 0x7065, 0x7047, 0x72FB, 0x71DC, 0x72B8,
                                                 0x745A, 0x7303, 0x7405, 0x7406, 0x75E5, 0x75E6};
  return models;
}

inline const std::set<std::uint32_t>& SystemModels() {
  static const std::set<std::uint32_t> models = {0x78C7, 0x78B9, 0x7A07, 0x7945, 0x7941, 0x79FF, 0x7943};
  return models;
}

constexpr char kSupportedSystem1[] = "KEL-Linux x64";
constexpr char kSupportedSystem2[] = "Linux-ARMv7-A";
constexpr char kLocalSource[] = "kelsyscfg";
constexpr char kLocalSourceResourceName[] = "system";
constexpr char kNetworkSource[] = "network";
constexpr char kLocalSystemUrl[] = "sync://localhost/system";

}  // namespace kronel_names
