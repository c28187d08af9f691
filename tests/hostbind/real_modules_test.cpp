#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hostbind/host_binder.h"
#include "support/test_modules.h"

namespace hostbind_test {
namespace {

using hostbind::BindingRecord;
using hostbind::kTlsIndexNotSet;
using platform::ModuleHandle;
using TargetURLFn = int (*)(std::uint32_t, void*);

struct FatalEnd {
  std::string text;
};

// The process's loader, except that a fatal end throws. Where modules carry
// no image version, the test gives each module the version its DLL would have.
class TestLoader : public hostbind::PlatformModules {
 public:
  std::map<ModuleHandle, std::uint32_t> versions;

  std::uint32_t ImageVersionKey(ModuleHandle module) override {
    std::uint32_t key = PlatformModules::ImageVersionKey(module);
    return key != 0 ? key : versions[module];
  }
  [[noreturn]] void Fatal(const char* text) override { throw FatalEnd{text}; }
};

std::uint32_t KeyOf(int major, int minor) { return std::uint32_t(major) | (std::uint32_t(minor) << 16); }

struct RealModulesTest : ::testing::Test {
  TestLoader loader;
  BindingRecord record{"TargetURL"};

  std::unique_ptr<LoadedModule> Load(const std::string& name, std::uint32_t key) {
    auto module = std::make_unique<LoadedModule>(name);
    loader.versions[module->handle()] = key;
    return module;
  }
  // The marker of the function the binder finds for `module` set by the host.
  int Call(ModuleHandle module) {
    void* address = hostbind::ResolveHostFunction(record, loader, module, kTlsIndexNotSet);
    return reinterpret_cast<TargetURLFn>(address)(0, nullptr);
  }
  std::string FatalText(ModuleHandle module) {
    try {
      Call(module);
    } catch (const FatalEnd& end) {
      return end.text;
    }
    return "(no fatal end)";
  }
};

// The TLS value of the calling thread, else the module the host set, else the
// modules found by name.
TEST_F(RealModulesTest, FindHostModule) {
  auto set = Load("binder_v1", KeyOf(1, 7));
  auto threadOwn = Load("binder_v2", KeyOf(2, 7));
  std::uint32_t index = platform::TlsAlloc();
  ASSERT_NE(index, platform::kTlsOutOfIndexes);
  EXPECT_EQ(hostbind::FindHostModule(loader, set->handle(), index), set->handle());
  platform::TlsSetValue(index, threadOwn->handle());
  EXPECT_EQ(hostbind::FindHostModule(loader, set->handle(), index), threadOwn->handle());
  platform::TlsFree(index);

  EXPECT_EQ(hostbind::FindHostModule(loader, nullptr, kTlsIndexNotSet), nullptr);
  auto ztffrt = Load("ztffrt", KeyOf(1, 0));
  EXPECT_EQ(hostbind::FindHostModule(loader, nullptr, kTlsIndexNotSet), ztffrt->handle());
  auto ztrt = Load("ztrt", KeyOf(1, 0));
  EXPECT_EQ(hostbind::FindHostModule(loader, nullptr, kTlsIndexNotSet), ztrt->handle());
}

// Eight versions fill the record and a ninth ends fatally, until one of the
// eight is unloaded and the ninth takes its slot over.
TEST_F(RealModulesTest, FullRecordAndTakeOver) {
  std::vector<std::unique_ptr<LoadedModule>> modules;
  for (int n = 1; n <= 9; ++n) modules.push_back(Load("binder_v" + std::to_string(n), KeyOf(n, 7)));
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(Call(modules[n - 1]->handle()), 100 + n);
  EXPECT_EQ(FatalText(modules[8]->handle()),
            "zentrov.lib was unable to locate a suitable location to resolve \"TargetURL\". This may "
            "happen when too many instances of Zentro have been loaded into the same process.");

  modules[3]->Unload();
  EXPECT_EQ(Call(modules[8]->handle()), 109);
  hostbind::SlotState slot{};
  ASSERT_TRUE(record.slots[3].Read(slot));
  EXPECT_EQ(slot.module, modules[8]->handle());
  EXPECT_EQ(slot.versionKey, KeyOf(9, 7));
  for (int n : {1, 2, 3, 5, 6, 7, 8}) EXPECT_EQ(Call(modules[n - 1]->handle()), 100 + n);
}

TEST_F(RealModulesTest, SameVersionModulesTakeTurns) {
  auto a = Load("binder_twin_a", KeyOf(20, 1));
  auto b = Load("binder_twin_b", KeyOf(20, 1));
  EXPECT_EQ(loader.ImageVersionKey(a->handle()), loader.ImageVersionKey(b->handle()));
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(Call(a->handle()), 501);
    EXPECT_EQ(Call(b->handle()), 502);
  }
}

TEST_F(RealModulesTest, MissingExportEndsFatally) {
  auto partial = Load("binder_partial", KeyOf(30, 0));
  BindingRecord dispose{"DSDisposeHandle"};
  try {
    hostbind::ResolveHostFunction(dispose, loader, partial->handle(), kTlsIndexNotSet);
    ADD_FAILURE() << "no fatal end";
  } catch (const FatalEnd& end) {
    EXPECT_NE(end.text.find("resolve \"DSDisposeHandle\"."), std::string::npos) << end.text;
  }
}

}  // namespace
}  // namespace hostbind_test
