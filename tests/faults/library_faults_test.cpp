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

  // The host keeps its list: told nothing changed, or handed the same names
  // again by a refresh that ended before the failure. That no retry comes
  // before its back-off is the healing suite's to count.
  static void ExpectListKept(std::uint32_t ref, const Names& kept) {
    hostbind::UHandle slot = nullptr;
    const std::int32_t result = CallUntilSettled(ref, &slot);
    if (result == kWritten) {
      EXPECT_EQ(DecodeList(slot), kept);
      ztrtsimDisposeNameList(slot);
    } else {
      EXPECT_EQ(result, kUnchanged);
    }
  }
};

// A refresh the library fails leaves the host with its list; the
// registration stays, so the next change of the target brings everything.
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
      ExpectListKept(1, expected);
      kelsimClearFailures();
    }
    const std::string added = std::string("New") + operation;
    ApplyChange("", AddDevice(added));
    expected.insert(std::upper_bound(expected.begin(), expected.end(), added), added);
    PollFor(1, expected);
  }
}

// No list comes before the first refresh has ended; when it failed, the
// host gets the empty list, and the names follow with the next change.
TEST_F(LibraryFaultTest, FailedFirstRefreshDeliversAnEmptyListAfterTheFailure) {
  FailOnce("FindHardware");
  EXPECT_EQ(NextList(1), Names{});
  EXPECT_GT(kelsimFailureCount(), 0u);
  ExpectListKept(1, Names{});
  ASSERT_EQ(kelsimHasHandler(""), 1);
  ApplyChange("", AddDevice("Dev2"));
  PollFor(1, Names{"Dev1", "Dev2", "sync://localhost/system"});
}

// Without a framework nothing is registered, so changes go unheard until a
// retry or a forced request makes the framework and registers.
TEST_F(LibraryFaultTest, NoFrameworkHearsNoChangeUntilForced) {
  FailOnce("kelsysInstantiateFramework2");
  EXPECT_EQ(NextList(1), Names{});
  EXPECT_GT(kelsimFailureCount(), 0u);
  EXPECT_EQ(kelsimHasHandler(""), 0);
  ApplyChange("", AddDevice("Dev2"));
  EXPECT_EQ(kelsimDroppedNotifications(), 1u);
  ExpectListKept(1, Names{});

  hostbind::UHandle slot = nullptr;
  ASSERT_EQ(Call(1, &slot, 1), kPending);
  const Names withDev2 = {"Dev1", "Dev2", "sync://localhost/system"};
  PollFor(1, withDev2);
  EXPECT_EQ(kelsimHasHandler(""), 1);
  ApplyChange("", AddDevice("Dev3"));
  PollFor(1, Names{"Dev1", "Dev2", "Dev3", "sync://localhost/system"});
}

// A refused registration does not keep the list from the host; the
// framework stays for the retry of the registration.
TEST_F(LibraryFaultTest, RefusedRegistrationStillDeliversTheList) {
  FailOnce("SetNotificationHandler");
  PollFor(1, kNames);
  EXPECT_EQ(kelsimHasHandler(""), 0);
  EXPECT_EQ(kelsimCallCount("kelsysInstantiateFramework2"), 1u);
  EXPECT_EQ(kelsimCallCount("SetNotificationHandler"), 1u);
}

}  // namespace
}  // namespace road
