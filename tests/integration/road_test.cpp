#include "kelsim.h"
#include "road.h"
#include "ztrtsim.h"

namespace integration {
namespace {

using road::Names;
using road::DecodeList;
using road::ThePlugin;
using road::WaitFor;
using road::kFailure;
using road::kNoMemory;
using road::kPending;
using road::kUnchanged;
using road::kWritten;

const char kDescription[] = R"({"targets": {
  "": {"records": [
    {"status": 1, "modelCode": "0x7066", "resourceName": "Rack1Slot2"},
    {"status": 1, "modelCode": "0x78C7", "sourceNames": ["kelsyscfg"], "sourceResourceName": "system"}]},
  "rt-a": {"records": [
    {"status": 1, "modelCode": "0x75E6", "resourceName": "Dev1"},
    {"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["network"], "hostName": "rt-a"}]}}})";

const Names kLocalNames = {"Rack1Slot2", "sync://localhost/system"};
const Names kRemoteNames = {"Dev1", "sync://rt-a/system"};

// The host names no run-time module here, so every host call finds it anew.
class RoadTest : public road::RoadTest {
 protected:
  void SetUp() override {
    road::RoadTest::SetUp();
    ThePlugin().SetZTRTModule(nullptr);
    Load(kDescription);
    SetUrl(2, "rt-a");
    SetUrl(3, "rt-a");
  }

  void TearDown() override {
    road::RoadTest::TearDown();
    EXPECT_EQ(kelsimHasHandler(""), 0);
    EXPECT_EQ(kelsimHasHandler("rt-a"), 0);
  }
};

TEST_F(RoadTest, FirstCallIsPendingThenTheListArrivesThenNothingChanged) {
  const std::vector<std::int32_t> results = PollFor(1, kLocalNames);
  ASSERT_FALSE(results.empty());
  EXPECT_EQ(results.front(), kPending);
  EXPECT_EQ(results.back(), kWritten);

  hostbind::UHandle slot = nullptr;
  EXPECT_EQ(Call(1, &slot), kUnchanged);
  EXPECT_EQ(slot, nullptr);
}

TEST_F(RoadTest, ReferencesOfOneTargetShareItsCache) {
  PollFor(2, kRemoteNames);
  hostbind::UHandle slot = nullptr;
  EXPECT_EQ(Call(3, &slot), kUnchanged);
  EXPECT_EQ(kelsimCallCount("FindHardware"), 1u);
}

TEST_F(RoadTest, ForcedRefreshDeliversTheListAgain) {
  PollFor(1, kLocalNames);
  hostbind::UHandle slot = nullptr;
  EXPECT_EQ(Call(1, &slot, 1), kPending);
  EXPECT_EQ(slot, nullptr);
  PollFor(1, kLocalNames);
  EXPECT_EQ(kelsimCallCount("FindHardware"), 2u);
}

// A failing TargetURL answers 7, leaves the slot alone and keeps the reference,
// so releasing the others does not drop the caches.
TEST_F(RoadTest, TargetUrlFailureKeepsTheReference) {
  PollFor(1, kLocalNames);
  ASSERT_EQ(ztrtsimSetTargetURLFailure(5, 42), ZTRTSIM_OK);
  hostbind::UHandle sentinel = reinterpret_cast<hostbind::UHandle>(&sentinel);
  hostbind::UHandle slot = sentinel;
  EXPECT_EQ(Call(5, &slot), kFailure);
  EXPECT_EQ(slot, sentinel);

  ThePlugin().ReleasingAppRef(1);
  slot = nullptr;
  EXPECT_EQ(Call(1, &slot), kUnchanged);
}

// A list that found no memory was never delivered, so the next call tries again.
TEST_F(RoadTest, NoMemoryForTheListIsRetried) {
  PollFor(1, kLocalNames);
  hostbind::UHandle slot = nullptr;
  ASSERT_EQ(Call(1, &slot, 1), kPending);
  ASSERT_EQ(ztrtsimFailCall(ZTRTSIM_FN_DS_NEW_H_CLR, 0, 0), ZTRTSIM_OK);
  std::int32_t result = kPending;
  ASSERT_TRUE(WaitFor([&] {
    slot = reinterpret_cast<hostbind::UHandle>(&slot);
    result = Call(1, &slot);
    return result != kPending && result != kUnchanged;
  }));
  EXPECT_EQ(result, kNoMemory);
  EXPECT_EQ(slot, nullptr);

  ztrtsimClearFailures();
  ASSERT_EQ(Call(1, &slot), kWritten);
  EXPECT_EQ(DecodeList(slot), kLocalNames);
  EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);
}

// A list due with nowhere to put it fails the call and stays due.
TEST_F(RoadTest, ListDueWithoutASlotFailsAndStaysDue) {
  PollFor(1, kLocalNames);
  ApplyChange("", R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Dev9"}]})");
  std::int32_t result = kPending;
  ASSERT_TRUE(WaitFor([&] {
    result = Call(1, nullptr);
    return result != kPending && result != kUnchanged;
  }));
  EXPECT_EQ(result, kFailure);
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
  Names expected = kLocalNames;
  expected.insert(expected.begin(), "Dev9");
  PollFor(1, expected);
}

// A name the host cannot convert fails the call with the list half written,
// and every following call tries again.
TEST_F(RoadTest, UnconvertibleNameFailsUntilTheHostCanTakeIt) {
  Load(R"({"targets": {"": {"records": [
    {"status": 1, "modelCode": "0x7066", "resourceName": "Caf\u00e9"},
    {"status": 1, "modelCode": "0x7066", "resourceName": "\u03a9mega"}]}}})");
  ASSERT_EQ(ztrtsimSetEncoding(ZTRTSIM_ENCODING_WINDOWS_1252), ZTRTSIM_OK);
  hostbind::UHandle slot = nullptr;
  std::int32_t result = kPending;
  ASSERT_TRUE(WaitFor([&] {
    if (slot != nullptr) ztrtsimDisposeNameList(slot);
    slot = nullptr;
    result = Call(1, &slot);
    return result == kFailure;
  }));
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(ztrtsimListCount(slot), 0);
  EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);

  slot = nullptr;
  EXPECT_EQ(Call(1, &slot), kFailure);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);

  ASSERT_EQ(ztrtsimSetEncoding(ZTRTSIM_ENCODING_UTF8), ZTRTSIM_OK);
  slot = nullptr;
  ASSERT_EQ(Call(1, &slot), kWritten);
  EXPECT_EQ(DecodeList(slot), (Names{"Caf\xC3\xA9", "\xCE\xA9mega"}));
  EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);
}

TEST_F(RoadTest, ChangeInTheLibraryReachesTheHost) {
  PollFor(2, kRemoteNames);
  // Some libraries call a new registration at once.
  ASSERT_EQ(kelsimWaitIdle(20000), 1);
  const std::uint64_t delivered = kelsimDeliveredNotifications();
  ApplyChange("rt-a", R"({"remove": ["Dev1"]})");
  ASSERT_EQ(kelsimWaitIdle(20000), 1);
  PollFor(2, Names{"sync://rt-a/system"});
  EXPECT_EQ(kelsimDeliveredNotifications(), delivered + 1);
}

// Releasing the last reference drops every cache, and the next request starts over.
TEST_F(RoadTest, ReleasingTheLastReferenceStartsOver) {
  PollFor(1, kLocalNames);
  PollFor(2, kRemoteNames);
  EXPECT_EQ(kelsimHasHandler(""), 1);
  ThePlugin().ReleasingAppRef(2);
  EXPECT_EQ(kelsimHasHandler("rt-a"), 1);
  ThePlugin().ReleasingAppRef(1);
  ASSERT_TRUE(WaitFor([] { return kelsimLiveObjects() == 0; }));
  EXPECT_EQ(kelsimHasHandler(""), 0);
  EXPECT_EQ(kelsimHasHandler("rt-a"), 0);

  hostbind::UHandle slot = nullptr;
  EXPECT_EQ(Call(1, &slot), kPending);
  PollFor(1, kLocalNames);
  EXPECT_EQ(kelsimCallCount("kelsysInstantiateFramework2"), 3u);
}

// The host may name its run-time module itself: here a copy of the engine
// under a name the plug-in never looks for, whose URL table sends reference
// 1 to "rt-a", and whose handles the linked engine does not know.
TEST_F(RoadTest, HostNamedModuleServesTheCalls) {
  const platform::ModuleHandle module = platform::LoadLibraryA(KRONEL_ENGINE_COPY);
  ASSERT_NE(module, nullptr) << KRONEL_ENGINE_COPY;
  test_support::ztrtsim::Engine copy;
  ASSERT_TRUE(copy.From(module));
  test_support::ztrtsim::SetUrl(1, "rt-a", copy);
  ThePlugin().SetZTRTModule(module);
  // Past the new cache's empty list, until a list the copy cannot read, or the names.
  Names names;
  EXPECT_TRUE(WaitFor([&] {
    hostbind::UHandle slot = nullptr;
    if (CallUntilDecided(1, &slot) != kWritten) return true;
    if (copy.listCount(slot) < 0) return ztrtsimDisposeNameList(slot) == ZTRTSIM_OK;
    names = DecodeList(slot, copy);
    EXPECT_EQ(copy.disposeList(slot), ZTRTSIM_OK);
    return !names.empty();
  }));
  ThePlugin().SetZTRTModule(nullptr);
  EXPECT_EQ(names, kRemoteNames);
  EXPECT_EQ(copy.liveHandles(), 0);
  EXPECT_EQ(ztrtsimCallCount(ZTRTSIM_FN_TARGET_URL), 0) << "the linked engine was asked";
  platform::FreeLibrary(module);
}

}  // namespace
}  // namespace integration
