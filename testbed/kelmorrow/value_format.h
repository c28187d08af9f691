#pragma once
// Text forms of tags, HRESULTs and property values, for reports and exports.
#include <cstdint>
#include <string>

#include "record.h"

namespace kelmorrow {

// "0x1024000"
std::string HexText(std::uint32_t value);
// The value as text; `exact` is cleared when a string had to be repaired.
std::string FormatValue(const Property& property, bool& exact);

}  // namespace kelmorrow
