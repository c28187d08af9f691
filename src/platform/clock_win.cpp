#include <windows.h>

#include "platform/clock.h"

namespace platform {
namespace detail {

// The tick count is read from memory the kernel keeps current: no system call.
std::int64_t SystemMilliseconds() noexcept { return static_cast<std::int64_t>(::GetTickCount64()); }

}  // namespace detail
}  // namespace platform
