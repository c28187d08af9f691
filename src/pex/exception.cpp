#include "pex/exception.h"

namespace kel {
namespace pex {

const char* Exception::what() const noexcept { return "unspecified exception"; }
std::int32_t Exception::GetErrorCode() const noexcept { return -1; }

const char* InvalidArgument::what() const noexcept { return "Invalid argument(s)"; }
std::int32_t InvalidArgument::GetErrorCode() const noexcept {
  return static_cast<std::int32_t>(0x8ABC700Fu);
}

const char* OutOfRange::what() const noexcept { return "Out of range"; }
std::int32_t OutOfRange::GetErrorCode() const noexcept {
  return static_cast<std::int32_t>(0x8ABC7007u);
}

const char* BufferOverflow::what() const noexcept { return "Buffer overflowed"; }
std::int32_t BufferOverflow::GetErrorCode() const noexcept {
  return static_cast<std::int32_t>(0x8ABC7017u);
}

const char* InvalidSequence::what() const noexcept { return "Invalid UTF8 encoding sequence"; }
std::int32_t InvalidSequence::GetErrorCode() const noexcept {
  return static_cast<std::int32_t>(0x8ABC7030u);
}

const char* BadAllocation::what() const noexcept { return "bad allocation"; }

}  // namespace pex
}  // namespace kel
