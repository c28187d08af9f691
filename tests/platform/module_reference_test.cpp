#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/module_reference.h"

namespace {

struct Seen {
  std::atomic<int> calls{0};
  std::atomic<bool> held{false};
};

void Record(void* argument) {
  auto* seen = static_cast<Seen*>(argument);
  seen->held = platform::ModuleHeld::OnThisThread();
  ++seen->calls;
}

// The thread runs its entry once, marked as one that keeps the module loaded;
// the starting thread is not marked unless it says so.
TEST(ModuleThread, RunsItsEntryOnAThreadThatHoldsTheModule) {
  Seen seen;
  EXPECT_FALSE(platform::ModuleHeld::OnThisThread());
  ASSERT_TRUE(platform::StartModuleThread(&Record, &seen));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (seen.calls == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(seen.calls, 1);
  EXPECT_TRUE(seen.held);
  {
    platform::ModuleHeld held;
    platform::ModuleHeld nested;
    EXPECT_TRUE(platform::ModuleHeld::OnThisThread());
  }
  EXPECT_FALSE(platform::ModuleHeld::OnThisThread());
}

// A reference moves whole and is given back once.
TEST(ModuleReference, MovesAndResets) {
  platform::ModuleReference first = platform::ModuleReference::Take();
  const bool held = static_cast<bool>(first);
  platform::ModuleReference second = std::move(first);
  EXPECT_FALSE(first);
  EXPECT_EQ(static_cast<bool>(second), held);
  second.Reset();
  EXPECT_FALSE(second);
}

}  // namespace
