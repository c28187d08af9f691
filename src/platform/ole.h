#pragma once
// OLE automation strings and COM task memory: the real functions on Windows,
// a compatible implementation elsewhere (a BSTR is a block of 16-bit units
// preceded by its byte length; task memory is the C heap).
#include <cstddef>
#include <cstdint>

#include "platform/wide.h"

typedef platform::WideChar* BSTR;

namespace platform {

BSTR SysAllocString(const WideChar* text);
BSTR SysAllocStringLen(const WideChar* text, std::uint32_t units);
void SysFreeString(BSTR text);
std::uint32_t SysStringLen(BSTR text);

void* CoTaskMemAlloc(std::size_t bytes);
void* CoTaskMemRealloc(void* block, std::size_t bytes);
void CoTaskMemFree(void* block);

}  // namespace platform
