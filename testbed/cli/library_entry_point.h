#pragma once
#include "morrowkit/interfaces.h"

namespace kronel_names {

using InstantiateFramework = HRESULT (*)(std::int32_t, std::int32_t, morrowkit::IqvSysFramework**);

// Where the tool's own kelsysInstantiateFramework2 sends its calls.
void ForwardEntryPointTo(InstantiateFramework entry);

}  // namespace kronel_names
