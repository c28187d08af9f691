#pragma once
#include <cstdint>

#include "morrowkit/interfaces.h"

namespace morrowkit::test {

// What kelsysInstantiateFramework2 hands out in this executable.
struct EntryPoint {
  IqvSysFramework* framework = nullptr;
  HRESULT result = platform::kS_OK;
  std::int32_t flag1 = -1;
  std::int32_t flag2 = -1;
};

extern EntryPoint entry_point;

}  // namespace morrowkit::test
