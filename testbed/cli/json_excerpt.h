#pragma once
// One member or value of a JSON document as a document of its own, at the very line
// and column where it stands in the original, so that a reader's messages
// about the excerpt point into the original file.
#include <string>
#include <string_view>

#include "json_value.h"

namespace kronel_names {

// `text` must be valid JSON (already parsed); the member is given by the
// places of its key and of its value. Everything else becomes blank.
std::string IsolateMember(std::string_view text, kelmorrow::json::Position key, kelmorrow::json::Position value);
// The same for a value alone, as a document of its own.
std::string IsolateValue(std::string_view text, kelmorrow::json::Position value);

}  // namespace kronel_names
