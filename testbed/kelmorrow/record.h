#pragma once
// A hardware record: typed properties under 32-bit tags, each of which may be
// set up to misbehave the way a real library sometimes does.
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "morrowkit/interfaces.h"
#include "platform/wide.h"

namespace kelmorrow {

using morrowkit::PropertyType;

struct Property {
  PropertyType type = morrowkit::kPropertyTypeInt32;
  // A property may exist only to fail: then it has no value.
  bool hasValue = false;
  std::int64_t integer = 0;  // bool, int16, uint16, int32, uint32, int64
  double real = 0;
  platform::WideString text;

  std::optional<HRESULT> readFailure;         // every typed read answers this
  bool stringFalse = false;                   // GetString answers S_FALSE
  std::optional<HRESULT> hasPropertyFailure;  // HasProperty answers this
};

struct Record {
  std::map<std::uint32_t, Property> properties;
  bool refusesPropertyBag = false;

  const Property* Find(std::uint32_t tag) const;
  // The stored string under `tag`, ignoring injected faults; null if none.
  const platform::WideString* StringAt(std::uint32_t tag) const;
  std::optional<std::uint32_t> UInt32At(std::uint32_t tag) const;
};

// Tags the friendly names of a hardware description stand for.
constexpr std::uint32_t kTagModelCode = 0x1005000;
constexpr std::uint32_t kTagSourceCount = 0x101C000;
constexpr std::uint32_t kTagSourceResourceName = 0x101D000;
constexpr std::uint32_t kTagSourceName = 0x101E000;  // + index
constexpr std::uint32_t kTagResourceName = 0x101F000;
constexpr std::uint32_t kTagStatus = 0x1024000;
constexpr std::uint32_t kTagHostName = 0x1025000;
constexpr std::uint32_t kTagOperatingSystem = 0x104E000;
constexpr std::uint32_t kMaxSourceNames = 0x1000;

const char* TypeName(PropertyType type);
std::optional<PropertyType> TypeFromName(const std::string& name);

}  // namespace kelmorrow
