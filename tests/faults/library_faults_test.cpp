#include <algorithm>
#include <string>

#include "kelsim.h"
#include "road.h"
#include "ztrtsim.h"

namespace road {
namespace {

const char kDescription[] = R"({"targets": {"": {"records": [
  {"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"},
  {"status": 1, "modelCode": "0x78C7", "sourceNames": ["kelsyscfg"], "sourceResourceName": "system"}]}}})";

const Names kNames = {"Dev1", "sync://localhost/system"};

std::string AddDevice(const std::string& name) {
  return R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": ")" + name + R"("}]})";
}

class LibraryFaultTest : public RoadTest {
 protected:
  void SetUp() override {
    RoadTest::SetUp();
    if (HasFatalFailure()) return;
    Load(kDescription);
  }

  static void FailOnce(const char* operation) { test_support::kelsim::FailCall(operation, 1, kEFail); }
  static void FailAlways(const char* operation) { test_support::kelsim::FailCall(operation, 0, kEFail); }

  // A forced request meeting a refresh that is still ending starts none, so
  // force again until a refresh has run into the failure.
  static void ForceUntilFailed() {
    const std::uint64_t failures = kelsimFailureCount();
    bool failed = false;
    for (int attempt = 0; attempt < 5 && !failed; ++attempt) {
      hostbind::UHandle slot = nullptr;
      ASSERT_EQ(Call(1, &slot, 1), kPending);
      failed = WaitFor([&] { return kelsimFailureCount() > failures; }, std::chrono::seconds(2));
    }
    ASSERT_TRUE(failed) << "no refresh ran into the failure";
  }

  // Nothing is re-sent and no refresh starts, however often the host asks.
  static void ExpectQuiet(std::uint32_t ref) {
    const std::uint64_t finds = kelsimCallCount("FindHardware");
    for (int i = 0; i < 20; ++i) {
      hostbind::UHandle slot = nullptr;
      ASSERT_EQ(Call(ref, &slot), kUnchanged);
      ASSERT_EQ(slot, nullptr);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(kelsimCallCount("FindHardware"), finds);
  }
};

// A refresh the library fails leaves the host with its list: unchanged,
// never re-sent, until the next change of the target is notified.
TEST_F(LibraryFaultTest, FailedRefreshKeepsTheListUntilAChangeIsNotified) {
  PollFor(1, kNames);
  Names expected = kNames;
  for (const char* operation : {"FindHardware", "Next", "GetInt32", "GetUInt32", "GetString", "HasProperty"}) {
    SCOPED_TRACE(operation);
    FailAlways(operation);
    ForceUntilFailed();
    if (std::string(operation) == "HasProperty") {
      // Unanswered presence tests read as absent: the records are skipped, not the refresh.
      PollFor(1, Names{});
      kelsimClearFailures();
    } else {
      kelsimClearFailures();
      ExpectQuiet(1);
    }
    const std::string added = std::string("New") + operation;
    ApplyChange("", AddDevice(added));
    expected.insert(std::upper_bound(expected.begin(), expected.end(), added), added);
    PollFor(1, expected);
  }
}

// A first refresh that fails still leaves the new cache current: the host is
// given its empty list (maybe even before the failure), and the names follow
// with the next notified change.
TEST_F(LibraryFaultTest, FailedFirstRefreshDeliversAnEmptyList) {
  FailOnce("FindHardware");
  EXPECT_EQ(NextList(1), Names{});
  ASSERT_TRUE(WaitFor([] { return kelsimFailureCount() > 0; }));
  ExpectQuiet(1);
  ASSERT_EQ(kelsimHasHandler(""), 1);
  ApplyChange("", AddDevice("Dev2"));
  PollFor(1, Names{"Dev1", "Dev2", "sync://localhost/system"});
}

// Without a framework nothing is registered, so changes go unheard until the
// host forces a refresh, which makes the framework and registers.
TEST_F(LibraryFaultTest, NoFrameworkHearsNoChangeUntilForced) {
  FailOnce("kelsysInstantiateFramework2");
  EXPECT_EQ(NextList(1), Names{});
  ASSERT_TRUE(WaitFor([] { return kelsimFailureCount() > 0; }));
  EXPECT_EQ(kelsimHasHandler(""), 0);
  ApplyChange("", AddDevice("Dev2"));
  EXPECT_EQ(kelsimDroppedNotifications(), 1u);
  ExpectQuiet(1);

  hostbind::UHandle slot = nullptr;
  ASSERT_EQ(Call(1, &slot, 1), kPending);
  const Names withDev2 = {"Dev1", "Dev2", "sync://localhost/system"};
  PollFor(1, withDev2);
  EXPECT_EQ(kelsimHasHandler(""), 1);
  ApplyChange("", AddDevice("Dev3"));
  PollFor(1, Names{"Dev1", "Dev2", "Dev3", "sync://localhost/system"});
}

// A registration that failed is tried again by the next request, with a
// new framework: a cache registered nowhere would miss every change.
TEST_F(LibraryFaultTest, FailedRegistrationIsTriedAgainByTheNextRequest) {
  FailOnce("SetNotificationHandler");
  PollFor(1, kNames);
  EXPECT_EQ(kelsimHasHandler(""), 1);
  EXPECT_EQ(kelsimCallCount("kelsysInstantiateFramework2"), 2u);
  EXPECT_EQ(kelsimCallCount("SetNotificationHandler"), 2u);
  ApplyChange("", AddDevice("Dev2"));
  PollFor(1, Names{"Dev1", "Dev2", "sync://localhost/system"});
}

}  // namespace
}  // namespace road
