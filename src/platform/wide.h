#pragma once
// A string of UTF-16 code units, as the configuration library and OLE speak it.
#include <string>

namespace platform {

#if defined(_WIN32)
using WideChar = wchar_t;
#else
using WideChar = char16_t;
#endif
using WideString = std::basic_string<WideChar>;

}  // namespace platform
