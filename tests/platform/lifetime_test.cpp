#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/lifetime.h"

namespace {

struct Seen {
  std::atomic<int> calls{0};
  std::atomic<bool> elsewhere{false};
  std::thread::id starter;
};

void Record(void* argument) {
  auto* seen = static_cast<Seen*>(argument);
  seen->elsewhere = std::this_thread::get_id() != seen->starter;
  ++seen->calls;
}

// The entry runs once, on a thread of its own that nobody joins.
TEST(DetachedThread, RunsItsEntryOnceOnAnotherThread) {
  Seen seen;
  seen.starter = std::this_thread::get_id();
  ASSERT_TRUE(platform::StartDetachedThread(&Record, &seen));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (seen.calls == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(seen.calls, 1);
  EXPECT_TRUE(seen.elsewhere);
}

}  // namespace
