#pragma once
#include <cstdint>

namespace morrowkit {

// Where the client layer saw a failure; built on the stack at each check.
struct ErrorLocation {
  const char* file;
  std::int32_t line;
  const char* component;  // may be null
};

constexpr const char* kComponent = "kronel_ztprovider";
constexpr const char* kFrameworkHandleFile = "morrowkit/framework/FrameworkHandle";
constexpr const char* kPropertyBagHandleFile = "morrowkit/propbag/PropertyBagHandle";

}  // namespace morrowkit
