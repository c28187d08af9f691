#include "platform/ole.h"

#include <objbase.h>
#include <oleauto.h>

namespace platform {

BSTR SysAllocString(const WideChar* text) { return ::SysAllocString(text); }

BSTR SysAllocStringLen(const WideChar* text, std::uint32_t units) {
  return ::SysAllocStringLen(text, units);
}

void SysFreeString(BSTR text) { ::SysFreeString(text); }

std::uint32_t SysStringLen(BSTR text) { return ::SysStringLen(text); }

void* CoTaskMemAlloc(std::size_t bytes) { return ::CoTaskMemAlloc(bytes); }

void* CoTaskMemRealloc(void* block, std::size_t bytes) { return ::CoTaskMemRealloc(block, bytes); }

void CoTaskMemFree(void* block) { ::CoTaskMemFree(block); }

}  // namespace platform
