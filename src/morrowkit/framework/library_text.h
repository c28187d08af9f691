#pragma once
#include <string>

#include "platform/ole.h"
#include "platform/wide.h"

namespace morrowkit {

// UTF-8 text as the library takes it; raises kel::pex::InvalidSequence.
platform::WideString ToLibraryText(const std::string& text);

// A text the library handed back, up to its first zero unit; null gives "".
// The BSTR stays the caller's to free.
std::string FromLibraryText(BSTR text);

}  // namespace morrowkit
