#include <gtest/gtest.h>

#include "hostbind/binder_exports.h"

namespace {

TEST(BinderExports, BothHookNamesAreOneFunction) {
  // Through volatile, so that the compiler cannot assume two names mean two functions.
  void (*volatile moduleHook)(std::uintptr_t) = &SetZTRTModuleHook;
  void (*volatile tlsIndexHook)(std::uintptr_t) = &SetZTRTTLSIndexHook;
  EXPECT_EQ(moduleHook, tlsIndexHook);
}

}  // namespace
