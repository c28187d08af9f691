#include "ztdataconv/convert.h"

#include <cstdint>

#include "hostbind/host_runtime.h"
#include "kelerr/exception.h"
#include "ztdataconv/auto_lstr_handle.h"

namespace ztdataconv {
namespace {

constexpr std::int32_t kConversionFailed = -52004;
constexpr std::int32_t kLineLStrFromPtr = 55;
constexpr std::int32_t kLineConvertToSystem = 66;

[[noreturn]] void ThrowConversionError(std::int32_t line) {
  throw kelerr::Exception(kConversionFailed, {{"error_constant", "kelapalerr_dynamicCastFailed"},
                                              {"file", "ztdataconv\\convert"},
                                              {"line", line},
                                              {"component", "kronel_ztprovider"}});
}

}  // namespace

void ConvertToLStrHandle(const std::string& source, hostbind::LStrHandle& destination) {
  AutoLStrHandle raw;
  // Names of 2 GiB or more are not expected; the host takes a 32-bit count.
  const auto length = static_cast<std::int32_t>(static_cast<std::uint32_t>(source.size()));
  if (hostbind::LStrFromPtr(&raw.Slot(), length, reinterpret_cast<const unsigned char*>(source.data())) != 0) {
    ThrowConversionError(kLineLStrFromPtr);
  }
  AutoLStrHandle result;
  if (hostbind::ConvertUTF8StringToSystem(raw.Get(), &result.Slot()) != 0) {
    ThrowConversionError(kLineConvertToSystem);
  }
  const hostbind::LStrHandle old = destination;
  destination = result.Detach();
  if (old != nullptr) hostbind::DSDisposeHandle(reinterpret_cast<hostbind::UHandle>(old));
}

}  // namespace ztdataconv
