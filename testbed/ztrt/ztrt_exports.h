#pragma once
// The host functions that the simulated run-time engine exports, with the
// host's own types, so that a mismatch with the plug-in's view fails to compile.
#include "hostbind/host_types.h"

extern "C" {

hostbind::MgErr TargetURL(std::uint32_t appRef, hostbind::LStrHandle* url);
hostbind::UHandle DSNewHClr(std::size_t size);
hostbind::MgErr ZtVariantPStrSetStringAttr(hostbind::ZtVariantPtr* element, hostbind::PStr name,
                                           hostbind::LStrHandle value);
hostbind::MgErr ZtVariantPStrSetUI32Attr(hostbind::ZtVariantPtr* element, hostbind::PStr name,
                                         std::uint32_t value);
hostbind::MgErr LStrFromPtr(hostbind::LStrHandle* slot, std::int32_t length, const unsigned char* bytes);
hostbind::MgErr ConvertUTF8StringToSystem(hostbind::LStrHandle utf8, hostbind::LStrHandle* system);
hostbind::MgErr DSDisposeHandle(hostbind::UHandle handle);

}
