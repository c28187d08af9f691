#pragma once
// The whole road for the plug-in tests: the plug-in loaded as the
// host loads it, the simulated engine and library behind it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hostbind/host_types.h"
#include "plugin.h"
#include "sim_engine.h"
#include "sim_library.h"
#include "wait_for.h"

namespace road {

using Names = std::vector<std::string>;

constexpr std::int32_t kWritten = 0, kUnchanged = 1, kPending = 2, kNoMemory = 6, kFailure = 7;
constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);
// Every test releases these references when it ends.
constexpr std::uint32_t kLastRef = 16;

// Loaded once for the whole run: unloading while a refresh worker ends would pull its code away.
integration::Plugin& ThePlugin();

using test_support::WaitFor;
using test_support::ztrtsim::DecodeList;
using test_support::ztrtsim::StringAttr;

// Starts from an empty engine and library, reference 1 on the local target;
// ends only when the library holds no object and the host no handle.
class RoadTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static void Load(const std::string& description) { test_support::kelsim::Load(description); }
  static void ApplyChange(const std::string& target, const std::string& change) {
    test_support::kelsim::ApplyChange(target, change);
  }
  static void SetUrl(std::uint32_t ref, const std::string& url) { test_support::ztrtsim::SetUrl(ref, url); }
  static std::int32_t Call(std::uint32_t ref, hostbind::UHandle* slot, std::int32_t force = 0);
  // Call as the host does while the answer is pending (Settled), or pending
  // or unchanged (Decided); the slot holds what the last call wrote.
  static std::int32_t CallUntilSettled(std::uint32_t ref, hostbind::UHandle* slot);
  static std::int32_t CallUntilDecided(std::uint32_t ref, hostbind::UHandle* slot);
  // Calls until a list is written and returns its names; the list is disposed of.
  static Names NextList(std::uint32_t ref);
  // Calls until a list equal to `expected` arrives; lists on the way are
  // disposed of. Returns the results seen, each change of result once.
  static std::vector<std::int32_t> PollFor(std::uint32_t ref, const Names& expected);
};

}  // namespace road
