#include <gtest/gtest.h>

#include "hostbind/host_binder.h"
#include "scripted_modules.h"

namespace hostbind_test {
namespace {

using hostbind::FindHostModule;
using hostbind::kTlsIndexNotSet;

constexpr std::uint32_t kTlsIndex = 7;

struct FindHostModuleTest : ::testing::Test {
  ScriptedModules modules;
  ModuleHandle main = modules.Add("host.exe", 1, {});
  ModuleHandle set = modules.Add("set.dll", 2);
  ModuleHandle threadOwn = modules.Add("thread.dll", 3);

  void SetUp() override {
    modules.SetMain(main);
    modules.SetTlsIndex(kTlsIndex);
  }
};

// The thread's TLS value first, then the module the host set.
TEST_F(FindHostModuleTest, ThreadValueThenHostModule) {
  ScriptedModules::SetThreadModule(threadOwn);
  EXPECT_EQ(FindHostModule(modules, set, kTlsIndex), threadOwn);
  EXPECT_EQ(FindHostModule(modules, set, kTlsIndexNotSet), set);

  ScriptedModules::SetThreadModule(nullptr);
  EXPECT_EQ(FindHostModule(modules, set, kTlsIndex), set);
}

// Without settings: a main program exporting either marker, else ztrt.dll, else ztffrt.dll.
TEST_F(FindHostModuleTest, MainProgramExportingAMarker) {
  for (const char* marker : {"gZTRTVersion", "AZNewHandle"}) {
    ScriptedModules table;
    ModuleHandle exe = table.Add("host.exe", 1, {marker});
    table.Add("ztrt.dll", 2);
    table.SetMain(exe);
    EXPECT_EQ(FindHostModule(table, nullptr, kTlsIndexNotSet), exe) << marker;
  }
}

TEST_F(FindHostModuleTest, ZtrtBeforeZtffrt) {
  ModuleHandle ztffrt = modules.Add("ztffrt.dll", 4);
  EXPECT_EQ(FindHostModule(modules, nullptr, kTlsIndexNotSet), ztffrt);

  ModuleHandle ztrt = modules.Add("ztrt.dll", 5);
  EXPECT_EQ(FindHostModule(modules, nullptr, kTlsIndexNotSet), ztrt);

  modules.Unload(ztrt);
  EXPECT_EQ(FindHostModule(modules, nullptr, kTlsIndexNotSet), ztffrt);
  modules.Unload(ztffrt);
  EXPECT_EQ(FindHostModule(modules, nullptr, kTlsIndexNotSet), nullptr);
}

}  // namespace
}  // namespace hostbind_test
