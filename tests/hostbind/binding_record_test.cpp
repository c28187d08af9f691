#include <gtest/gtest.h>

#include "hostbind/binding_record.h"

namespace hostbind_test {
namespace {

using hostbind::BindingRecord;
using hostbind::ModuleHandle;
using hostbind::SlotState;

ModuleHandle Module(std::uintptr_t n) { return reinterpret_cast<ModuleHandle>(n * 0x1000); }
void* Address(std::uintptr_t n) { return reinterpret_cast<void*>(n * 0x10); }

void Put(BindingRecord& record, int index, ModuleHandle module, std::uint64_t key, void* address) {
  SlotState seen;
  ASSERT_TRUE(record.slots[index].Read(seen));
  ASSERT_TRUE(record.slots[index].Replace(seen, module, key, address));
}

// Known answers only where the search would reach the slot without changing one.
TEST(BindingRecordKnown, AnswersFromAHeldSlot) {
  BindingRecord record{"TargetURL"};
  EXPECT_EQ(record.Known(Module(1), 1), nullptr);
  Put(record, 0, Module(1), 1, Address(1));
  Put(record, 1, Module(2), 2, Address(2));
  EXPECT_EQ(record.Known(Module(1), 1), Address(1));
  EXPECT_EQ(record.Known(Module(2), 2), Address(2));
}

TEST(BindingRecordKnown, LeavesEveryChangeToTheSearch) {
  BindingRecord record{"TargetURL"};
  Put(record, 0, Module(1), 7, Address(1));
  Put(record, 1, Module(2), 7, Address(2));
  // The first slot has the key: the search gives it to module 2.
  EXPECT_EQ(record.Known(Module(2), 7), nullptr);
  // The module was loaded again with another version.
  EXPECT_EQ(record.Known(Module(1), 8), nullptr);
  // A free slot comes before any slot for module 3.
  EXPECT_EQ(record.Known(Module(3), 9), nullptr);
}

TEST(BindingRecordKnown, ModuleWithoutTheExport) {
  BindingRecord record{"TargetURL"};
  Put(record, 0, Module(1), 1, nullptr);
  EXPECT_EQ(record.Known(Module(1), 1), nullptr);
}

TEST(BindingSlot, ReplaceOnlyWhatWasSeen) {
  BindingRecord record{"TargetURL"};
  SlotState stale;
  ASSERT_TRUE(record.slots[0].Read(stale));
  Put(record, 0, Module(1), 1, Address(1));
  EXPECT_FALSE(record.slots[0].Replace(stale, Module(2), 2, Address(2)));
  EXPECT_EQ(record.Known(Module(1), 1), Address(1));
}

}  // namespace
}  // namespace hostbind_test
