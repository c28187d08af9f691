#pragma once
// The host functions the plug-in calls. Each one finds the run-time engine
// that serves the calling thread, resolves the export there, and forwards the
// call unchanged.
#include "hostbind/host_types.h"

namespace hostbind {

MgErr TargetURL(std::uint32_t appRef, LStrHandle* url);
UHandle DSNewHClr(std::size_t size);
MgErr ZtVariantPStrSetStringAttr(ZtVariantPtr* element, PStr name, LStrHandle value);
MgErr ZtVariantPStrSetUI32Attr(ZtVariantPtr* element, PStr name, std::uint32_t value);
MgErr LStrFromPtr(LStrHandle* slot, std::int32_t length, const unsigned char* bytes);
MgErr ConvertUTF8StringToSystem(LStrHandle utf8, LStrHandle* system);
MgErr DSDisposeHandle(UHandle handle);

}  // namespace hostbind
