#include "value_format.h"

#include <cstdio>

#include "text_convert.h"

namespace kelmorrow {

std::string HexText(std::uint32_t value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", static_cast<unsigned>(value));
  return buffer;
}

std::string FormatValue(const Property& property, bool& exact) {
  switch (property.type) {
    case morrowkit::kPropertyTypeBool: return property.integer != 0 ? "true" : "false";
    case morrowkit::kPropertyTypeString: return ToUtf8Lossy(property.text, exact);
    case morrowkit::kPropertyTypeDouble: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.17g", property.real);
      return buffer;
    }
    default: return std::to_string(property.integer);
  }
}

}  // namespace kelmorrow
