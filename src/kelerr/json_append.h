#pragma once
#include <cstdint>
#include <string_view>

#include "kelerr/error_status.h"

namespace kelerr {

// Called when an append finds no room: returns the same position in a larger
// buffer, or null.
using GrowFunction = char* (*)(char* position, ErrorStatus* record);

struct GrowHandler {
  GrowFunction grow = nullptr;
  ErrorStatus* record = nullptr;
};

// Doubles the record's buffer (less 2 bytes); the usual grow handler.
char* GrowForAppend(char* position, ErrorStatus* record) noexcept;

inline GrowHandler GrowRecord(ErrorStatus& record) noexcept { return {GrowForAppend, &record}; }

// Both appends take a position from FindAppendPoint or from the previous
// append (a container's closing bracket, or its opening one to insert first)
// and return the position after the new member. A null key writes a bare
// value. A null position or a failure gives null, so a chain stops there.
char* AppendString(char* position, const char* key, std::string_view value, GrowHandler grow = {}) noexcept;
char* AppendInt(char* position, const char* key, std::int32_t value, GrowHandler grow = {}) noexcept;

}  // namespace kelerr
