#pragma once
// The binder's settings as the host sets them. SetZTRTModuleHook and
// SetZTRTTLSIndexHook are two names of one empty function.
#include <cstdint>

#include "platform/module.h"

extern "C" {

void SetZTRTModule(platform::ModuleHandle module);
void SetZTRTTLSIndex(std::uint32_t index);
void SetZTRTModuleHook(std::uintptr_t);
void SetZTRTTLSIndexHook(std::uintptr_t);

}
