#pragma once
// Types of the Zentro run-time engine's exported functions.
#include <cstddef>
#include <cstdint>

namespace hostbind {

using MgErr = std::int32_t;  // 0 = success

// A relocatable host block: a pointer to a pointer to its bytes.
using UHandle = void**;

// A host string: a signed 32-bit byte count, then the bytes, no terminator.
struct LStr {
  std::int32_t cnt;
  unsigned char str[1];
};
using LStrPtr = LStr*;
using LStrHandle = LStr**;

struct ZtVariant;  // opaque, the host's own
using ZtVariantPtr = ZtVariant*;

// An attribute name: a length byte followed by that many characters.
using PStr = const unsigned char*;

using TargetURLFn = MgErr (*)(std::uint32_t appRef, LStrHandle* url);
using DSNewHClrFn = UHandle (*)(std::size_t size);
using ZtVariantPStrSetStringAttrFn = MgErr (*)(ZtVariantPtr* element, PStr name, LStrHandle value);
using ZtVariantPStrSetUI32AttrFn = MgErr (*)(ZtVariantPtr* element, PStr name, std::uint32_t value);
using LStrFromPtrFn = MgErr (*)(LStrHandle* slot, std::int32_t length, const unsigned char* bytes);
using ConvertUTF8StringToSystemFn = MgErr (*)(LStrHandle utf8, LStrHandle* system);
using DSDisposeHandleFn = MgErr (*)(UHandle handle);

}  // namespace hostbind
