#include "record.h"

#include <string>

namespace kelmorrow {
namespace {

struct TypeEntry {
  PropertyType type;
  const char* name;
};

constexpr TypeEntry kTypes[] = {
    {morrowkit::kPropertyTypeBool, "bool"},     {morrowkit::kPropertyTypeInt16, "int16"},
    {morrowkit::kPropertyTypeUInt16, "uint16"}, {morrowkit::kPropertyTypeInt32, "int32"},
    {morrowkit::kPropertyTypeUInt32, "uint32"}, {morrowkit::kPropertyTypeInt64, "int64"},
    {morrowkit::kPropertyTypeDouble, "double"}, {morrowkit::kPropertyTypeString, "string"},
};

}  // namespace

const Property* Record::Find(std::uint32_t tag) const {
  auto found = properties.find(tag);
  return found == properties.end() ? nullptr : &found->second;
}

const platform::WideString* Record::StringAt(std::uint32_t tag) const {
  const Property* property = Find(tag);
  if (property == nullptr || !property->hasValue || property->type != morrowkit::kPropertyTypeString) return nullptr;
  return &property->text;
}

std::optional<std::uint32_t> Record::UInt32At(std::uint32_t tag) const {
  const Property* property = Find(tag);
  if (property == nullptr || !property->hasValue || property->type != morrowkit::kPropertyTypeUInt32) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(property->integer);
}

const char* TypeName(PropertyType type) {
  for (const TypeEntry& entry : kTypes) {
    if (entry.type == type) return entry.name;
  }
  return "unknown";
}

std::optional<PropertyType> TypeFromName(const std::string& name) {
  for (const TypeEntry& entry : kTypes) {
    if (name == entry.name) return entry.type;
  }
  return std::nullopt;
}

}  // namespace kelmorrow
