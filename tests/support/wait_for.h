#pragma once
#include <chrono>
#include <thread>

namespace test_support {

// Polls until the condition holds; false when it did not within the patience,
// which is generous because a loaded machine is slow, never a measure of speed.
template <class Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds patience = std::chrono::seconds(30)) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace test_support
