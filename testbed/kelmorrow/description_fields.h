#pragma once
// The friendly record keys of a hardware description and the tags they stand for.
#include <cstdint>

#include "record.h"

namespace kelmorrow {

struct FriendlyField {
  const char* key;
  std::uint32_t tag;
  PropertyType type;
};

// "sourceNames" is a list and handled on its own.
constexpr FriendlyField kFriendlyFields[] = {
    {"status", kTagStatus, morrowkit::kPropertyTypeInt32},
    {"modelCode", kTagModelCode, morrowkit::kPropertyTypeUInt32},
    {"resourceName", kTagResourceName, morrowkit::kPropertyTypeString},
    {"operatingSystem", kTagOperatingSystem, morrowkit::kPropertyTypeString},
    {"sourceCount", kTagSourceCount, morrowkit::kPropertyTypeInt32},
    {"sourceResourceName", kTagSourceResourceName, morrowkit::kPropertyTypeString},
    {"hostName", kTagHostName, morrowkit::kPropertyTypeString},
};

}  // namespace kelmorrow
