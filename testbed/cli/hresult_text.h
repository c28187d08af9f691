#pragma once
// HRESULTs as a user reads them in a report: hex, with the name when known.
#include <cstdint>
#include <string>

namespace kronel_names {

// "E_FAIL", ...; empty for a code without a well-known name.
const char* HResultName(std::int32_t result);

// "0x80004005".
std::string HexResult(std::int32_t result);

// "0x80004005 (E_FAIL)", or "0x80041234" when the name is not known.
std::string HResultText(std::int32_t result);

}  // namespace kronel_names
