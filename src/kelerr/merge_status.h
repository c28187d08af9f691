#pragma once

#include "kelerr/error_status.h"

namespace kelerr {

// Lets the target take over the source's code and text when the source is
// more severe (an error over a warning, anything over success). With the same
// resize function the buffer itself moves and the source is left without
// text; otherwise the text is copied. Returns whether the target took over.
bool MergeStatus(ErrorStatus& target, ErrorStatus& source) noexcept;

}  // namespace kelerr
