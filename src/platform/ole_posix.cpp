#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/ole.h"

namespace platform {
namespace {

// Layout shared by every module of the process: a 32-bit byte length, then the
// units, then a zero unit. Each module has its own copy of this code, so the
// layout and the C heap are the contract.
constexpr std::size_t kHeader = sizeof(std::uint32_t);

std::uint32_t* HeaderOf(BSTR text) {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<unsigned char*>(text) - kHeader);
}

}  // namespace

BSTR SysAllocStringLen(const WideChar* text, std::uint32_t units) {
  if (units > (std::numeric_limits<std::uint32_t>::max() - kHeader) / sizeof(WideChar) - 1) {
    return nullptr;
  }
  auto* block = static_cast<unsigned char*>(
      std::malloc(kHeader + (std::size_t(units) + 1) * sizeof(WideChar)));
  if (block == nullptr) return nullptr;
  std::uint32_t bytes = units * static_cast<std::uint32_t>(sizeof(WideChar));
  std::memcpy(block, &bytes, kHeader);
  auto* result = reinterpret_cast<BSTR>(block + kHeader);
  if (text != nullptr) {
    std::memcpy(result, text, units * sizeof(WideChar));
  } else {
    std::memset(result, 0, units * sizeof(WideChar));
  }
  result[units] = 0;
  return result;
}

BSTR SysAllocString(const WideChar* text) {
  if (text == nullptr) return nullptr;
  std::size_t units = 0;
  while (text[units] != 0) ++units;
  if (units > std::numeric_limits<std::uint32_t>::max()) return nullptr;
  return SysAllocStringLen(text, static_cast<std::uint32_t>(units));
}

void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(HeaderOf(text));
}

std::uint32_t SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, HeaderOf(text), kHeader);
  return bytes / sizeof(WideChar);
}

void* CoTaskMemAlloc(std::size_t bytes) { return std::malloc(bytes); }

void* CoTaskMemRealloc(void* block, std::size_t bytes) { return std::realloc(block, bytes); }

void CoTaskMemFree(void* block) { std::free(block); }

}  // namespace platform
