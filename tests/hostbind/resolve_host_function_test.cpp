#include <gtest/gtest.h>

#include <string>

#include "hostbind/host_binder.h"
#include "scripted_modules.h"

namespace hostbind_test {
namespace {

using hostbind::BindingRecord;
using hostbind::kTlsIndexNotSet;

const std::string kNotFound =
    "zentrov.lib was unable to locate a suitable location to resolve \"TargetURL\". This may happen when "
    "too many instances of Zentro have been loaded into the same process.";

struct ResolveTest : ::testing::Test {
  ScriptedModules modules;
  BindingRecord record{"TargetURL"};

  // Resolves for `module` as the module the host set.
  void* Resolve(ModuleHandle module) {
    return hostbind::ResolveHostFunction(record, modules, module, kTlsIndexNotSet);
  }
  void* Own(ModuleHandle module) { return modules.AddressOf(module, "TargetURL"); }
  std::string FatalText(ModuleHandle module) {
    try {
      Resolve(module);
    } catch (const FatalEnd& end) {
      return end.text;
    }
    return "(no fatal end)";
  }
  std::vector<ModuleHandle> FillWithVersions() {
    std::vector<ModuleHandle> eight;
    for (std::uint32_t v = 1; v <= 8; ++v) {
      eight.push_back(modules.Add("v" + std::to_string(v) + ".dll", v));
      EXPECT_EQ(Resolve(eight.back()), Own(eight.back()));
    }
    return eight;
  }
};

// A slot, once claimed, answers without another lookup.
TEST_F(ResolveTest, ClaimsTheFirstFreeSlotAndKeepsTheAddress) {
  ModuleHandle a = modules.Add("a.dll", 0x00070003);
  EXPECT_EQ(Resolve(a), Own(a));
  EXPECT_EQ(Resolve(a), Own(a));
  EXPECT_EQ(modules.Lookups(), 1);
  auto slot = SlotOf(record, 0);
  EXPECT_EQ(slot.module, a);
  EXPECT_EQ(slot.versionKey, 0x00070003u);
  EXPECT_EQ(slot.address, Own(a));
}

// Key 0 matches a free slot through the key test; a slot held by a key-0
// module is not free for a module of another version.
TEST_F(ResolveTest, KeyZero) {
  ModuleHandle five = modules.Add("five.dll", 5);
  ModuleHandle zero = modules.Add("zero.dll", 0);
  ModuleHandle six = modules.Add("six.dll", 6);
  EXPECT_EQ(Resolve(five), Own(five));
  EXPECT_EQ(Resolve(zero), Own(zero));
  EXPECT_EQ(SlotOf(record, 1).module, zero);
  EXPECT_EQ(Resolve(six), Own(six));
  EXPECT_EQ(SlotOf(record, 1).module, zero);
  EXPECT_EQ(SlotOf(record, 2).module, six);
}

// Eight versions fill a record, a ninth ends fatally; an unloaded module's slot is taken over.
TEST_F(ResolveTest, FullRecordAndTakeOver) {
  std::vector<ModuleHandle> eight = FillWithVersions();
  ModuleHandle ninth = modules.Add("v9.dll", 9);
  EXPECT_EQ(FatalText(ninth), kNotFound);

  modules.Unload(eight[3]);
  EXPECT_EQ(Resolve(ninth), Own(ninth));
  auto slot = SlotOf(record, 3);
  EXPECT_EQ(slot.module, ninth);
  EXPECT_EQ(slot.versionKey, 9u);
  EXPECT_EQ(slot.address, Own(ninth));
  for (int i : {0, 1, 2, 4, 5, 6, 7}) EXPECT_EQ(Resolve(eight[i]), Own(eight[i]));
}

// Two modules of one version share one slot and each reaches its own function.
TEST_F(ResolveTest, SameVersionModulesTakeTurns) {
  ModuleHandle first = modules.Add("first.dll", 0x00020004);
  ModuleHandle second = modules.Add("second.dll", 0x00020004);
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(Resolve(first), Own(first));
    EXPECT_EQ(Resolve(second), Own(second));
  }
  EXPECT_EQ(modules.Lookups(), 6);
  EXPECT_EQ(SlotOf(record, 0).module, second);
  EXPECT_EQ(SlotOf(record, 1).module, nullptr);
}

// A module loaded again with another version refreshes its slot.
TEST_F(ResolveTest, ReloadWithAnotherVersionRefreshesTheSlot) {
  ModuleHandle a = modules.Add("a.dll", 1);
  EXPECT_EQ(Resolve(a), Own(a));
  modules.Reload(a, 2);
  EXPECT_EQ(Resolve(a), Own(a));
  EXPECT_EQ(modules.Lookups(), 2);
  EXPECT_EQ(SlotOf(record, 0).versionKey, 2u);
  EXPECT_EQ(SlotOf(record, 1).module, nullptr);
}

TEST_F(ResolveTest, MissingExportEndsFatally) {
  ModuleHandle bare = modules.Add("bare.dll", 1, {"DSNewHClr"});
  EXPECT_EQ(FatalText(bare), kNotFound);
  EXPECT_EQ(FatalText(bare), kNotFound);
  EXPECT_EQ(SlotOf(record, 1).module, nullptr);
}

TEST_F(ResolveTest, NoHostModuleEndsFatally) {
  EXPECT_EQ(FatalText(nullptr), "zentrov.lib was not called from a Zentro process.");
}

// The longest bound name still fits the message buffer whole.
TEST(UnresolvedText, LongestNameFits) {
  char text[256];
  hostbind::FormatUnresolvedText("ZtVariantPStrSetStringAttr", text);
  EXPECT_EQ(std::string(text),
            "zentrov.lib was unable to locate a suitable location to resolve \"ZtVariantPStrSetStringAttr\". "
            "This may happen when too many instances of Zentro have been loaded into the same process.");
}

// A slot that changes while a thread looks the name up is not overwritten with
// what that thread saw.
TEST_F(ResolveTest, ChangeDuringLookup) {
  ModuleHandle first = modules.Add("first.dll", 4);
  ModuleHandle second = modules.Add("second.dll", 4);
  EXPECT_EQ(Resolve(first), Own(first));
  bool injected = false;
  modules.onLookup = [&](ModuleHandle module, const char*) {
    if (module == second && !injected) {
      injected = true;
      EXPECT_EQ(Resolve(first), Own(first));
      modules.Reload(first, 5);
      EXPECT_EQ(Resolve(first), Own(first));
    }
  };
  EXPECT_EQ(Resolve(second), Own(second));
  auto slot = SlotOf(record, 0);
  EXPECT_EQ(slot.module, first);
  EXPECT_EQ(slot.versionKey, 5u);
  EXPECT_EQ(slot.address, Own(first));
}

// Losing a free slot to another thread moves the claim on to the next one.
TEST_F(ResolveTest, LostClaimGoesOn) {
  ModuleHandle mine = modules.Add("mine.dll", 1);
  ModuleHandle other = modules.Add("other.dll", 2);
  modules.onLookup = [&](ModuleHandle module, const char*) {
    if (module == mine && SlotOf(record, 0).module == nullptr) {
      EXPECT_EQ(Resolve(other), Own(other));
    }
  };
  EXPECT_EQ(Resolve(mine), Own(mine));
  EXPECT_EQ(SlotOf(record, 0).module, other);
  EXPECT_EQ(SlotOf(record, 1).module, mine);
  EXPECT_EQ(SlotOf(record, 1).address, Own(mine));
}

}  // namespace
}  // namespace hostbind_test
