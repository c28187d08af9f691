#include "platform/lifetime.h"

namespace platform {

bool ProcessIsEnding() noexcept { return false; }

}  // namespace platform
