#include <gtest/gtest.h>

#include "hostbind/binder_exports.h"
#include "hostbind/binder_settings.h"
#include "hostbind/host_binder.h"

namespace {

// The setters change what the next call of a host function uses.
TEST(BinderExports, SettersStoreTheSettings) {
  int anything = 0;
  auto* module = reinterpret_cast<platform::ModuleHandle>(&anything);
  SetZTRTModule(module);
  SetZTRTTLSIndex(12);
  EXPECT_EQ(hostbind::hostModule.load(), module);
  EXPECT_EQ(hostbind::hostTlsIndex.load(), 12u);

  SetZTRTModule(nullptr);
  SetZTRTTLSIndex(hostbind::kTlsIndexNotSet);
  EXPECT_EQ(hostbind::hostModule.load(), nullptr);
  EXPECT_EQ(hostbind::hostTlsIndex.load(), hostbind::kTlsIndexNotSet);
}

TEST(BinderExports, BothHookNamesAreOneFunction) {
  // Through volatile, so that the compiler cannot assume two names mean two functions.
  void (*volatile moduleHook)(std::uintptr_t) = &SetZTRTModuleHook;
  void (*volatile tlsIndexHook)(std::uintptr_t) = &SetZTRTTLSIndexHook;
  EXPECT_EQ(moduleHook, tlsIndexHook);
}

}  // namespace
