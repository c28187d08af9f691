#pragma once
#include <string>

#include "hostbind/host_types.h"

namespace ztdataconv {

// Turns UTF-8 text (its full length, zero bytes included) into a new host
// string in the system encoding and stores it in destination, releasing what
// destination held before. On failure throws kelerr::Exception and leaves
// destination as it was.
void ConvertToLStrHandle(const std::string& source, hostbind::LStrHandle& destination);

}  // namespace ztdataconv
