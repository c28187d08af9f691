#include "road.h"

#include "kelsim.h"
#include "library_profiles.h"
#include "ztrtsim.h"

namespace road {

integration::Plugin& ThePlugin() {
  static integration::Plugin plugin;
  return plugin;
}

void RoadTest::SetUp() {
  ASSERT_TRUE(ThePlugin().Loaded());
  // Named as Zentro names it: found anew, the module costs a dlopen per host
  // call, which ThreadSanitizer makes slow enough to starve large and busy tests.
  ThePlugin().SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
  kelsimReset();
  ApplyProfile(ProfileOfThisRun());
  ztrtsimReset();
  ASSERT_EQ(ztrtsimSetTargetURLNull(1), ZTRTSIM_OK);
}

void RoadTest::TearDown() {
  if (!ThePlugin().Loaded()) return;
  ThePlugin().SetZTRTModule(nullptr);
  for (std::uint32_t ref = 1; ref <= kLastRef; ++ref) ThePlugin().ReleasingAppRef(ref);
  test_support::kelsim::ExpectQuiet();
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
  kelsimClearFailures();
  ztrtsimClearFailures();
}

std::int32_t RoadTest::Call(std::uint32_t ref, hostbind::UHandle* slot, std::int32_t force) {
  return ThePlugin().GetIOControlNames(ref, slot, force);
}

std::int32_t RoadTest::CallUntilSettled(std::uint32_t ref, hostbind::UHandle* slot) {
  std::int32_t result = kPending;
  EXPECT_TRUE(WaitFor([&] {
    result = Call(ref, slot);
    return result != kPending;
  })) << "the answer stayed pending";
  return result;
}

std::int32_t RoadTest::CallUntilDecided(std::uint32_t ref, hostbind::UHandle* slot) {
  std::int32_t result = kPending;
  EXPECT_TRUE(WaitFor([&] {
    result = Call(ref, slot);
    return result != kPending && result != kUnchanged;
  })) << "nothing was decided";
  return result;
}

Names RoadTest::NextList(std::uint32_t ref) {
  Names names;
  hostbind::UHandle slot = nullptr;
  const std::int32_t result = CallUntilDecided(ref, &slot);
  EXPECT_EQ(result, kWritten);
  if (slot != nullptr && result != kWritten) ztrtsimDisposeNameList(slot);
  if (result != kWritten) return names;
  names = DecodeList(slot);
  EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);
  return names;
}

std::vector<std::int32_t> RoadTest::PollFor(std::uint32_t ref, const Names& expected) {
  std::vector<std::int32_t> results;
  Names last;
  std::int32_t result = kPending;
  const bool arrived = WaitFor([&] {
    hostbind::UHandle slot = nullptr;
    result = Call(ref, &slot);
    if (results.empty() || results.back() != result) results.push_back(result);
    if (result != kWritten) {
      if (slot != nullptr) ztrtsimDisposeNameList(slot);
      return result != kPending && result != kUnchanged;
    }
    last = DecodeList(slot);
    EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);
    return last == expected;
  });
  EXPECT_TRUE(arrived && result == kWritten) << "the expected list never arrived; last result " << result
                                             << ", last list of " << last.size() << " names";
  return results;
}

}  // namespace road
