#include <chrono>
#include <cstdio>
#include <string>

#include "kelsim.h"
#include "road.h"
#include "ztrtsim.h"

namespace road {
namespace {

const char kGood[] = R"({"targets": {"": {"records": [
  {"status": 1, "modelCode": "0x7066", "resourceName": "Dev0"}]}}})";

class RecordsTest : public RoadTest {
 protected:
  void SetUp() override {
    RoadTest::SetUp();
    if (HasFatalFailure()) return;
    Load(kGood);
    PollFor(1, Names{"Dev0"});
  }

  static void Replace(const std::string& records) { ApplyChange("", R"({"replace": [)" + records + "]}"); }

  // The refresh of a change ran into a failure: the host keeps the list it
  // has and is told nothing changed.
  static void ExpectAbandoned(std::uint64_t failuresBefore) {
    ASSERT_TRUE(WaitFor([&] { return kelsimFailureCount() > failuresBefore; }));
    hostbind::UHandle slot = nullptr;
    ASSERT_EQ(Call(1, &slot), kUnchanged);
    ASSERT_EQ(slot, nullptr);
  }
};

struct Hostile {
  const char* what;
  const char* record;
};

// Every property the rules read, present with another type than they read it as.
const Hostile kReadWrongTyped[] = {
    {"status as string", R"({"status": {"type": "string", "value": "1"}})"},
    {"status as uint32", R"({"status": {"type": "uint32", "value": 1}})"},
    {"model code as int32", R"({"status": 1, "modelCode": {"type": "int32", "value": 28774}, "resourceName": "X"})"},
    {"resource name as uint32", R"({"status": 1, "modelCode": "0x7066", "resourceName": {"type": "uint32", "value": 7}})"},
    {"operating system as int32", R"({"status": 1, "operatingSystem": {"type": "int32", "value": 1}})"},
    {"source count as string", R"({"status": 1, "operatingSystem": "KEL-Linux x64",
                                   "sourceCount": {"type": "string", "value": "1"}})"},
    {"source name as int32", R"({"status": 1, "operatingSystem": "KEL-Linux x64",
                                 "sourceNames": [{"type": "int32", "value": 1}]})"},
    {"source resource name as double", R"({"status": 1, "modelCode": "0x78C7", "sourceNames": ["kelsyscfg"],
                                           "sourceResourceName": {"type": "double", "value": 1.5}})"},
    {"host name as bool", R"({"status": 1, "modelCode": "0x78C7", "sourceNames": ["network"],
                              "hostName": {"type": "bool", "value": true}})"},
};

// A wrong-typed property is a failed read: the whole refresh is abandoned.
TEST_F(RecordsTest, WrongTypedPropertyThatIsReadAbandonsTheRefresh) {
  int next = 1;
  for (const Hostile& hostile : kReadWrongTyped) {
    SCOPED_TRACE(hostile.what);
    const std::uint64_t failures = kelsimFailureCount();
    Replace(std::string(R"({"status": 1, "modelCode": "0x7066", "resourceName": "Kept"},)") + hostile.record);
    ExpectAbandoned(failures);
    const std::string name = "Dev" + std::to_string(next++);
    Replace(R"({"status": 1, "modelCode": "0x7066", "resourceName": ")" + name + R"("})");
    PollFor(1, Names{name});
  }
}

// Wrong-typed properties the rules never reach cost nothing.
TEST_F(RecordsTest, WrongTypedPropertyThatIsNotReadIsHarmless) {
  Replace(R"(
    {"status": 0, "modelCode": {"type": "string", "value": "x"}, "resourceName": {"type": "int64", "value": 1},
     "operatingSystem": {"type": "bool", "value": false}, "sourceCount": {"type": "double", "value": 2.0},
     "sourceResourceName": {"type": "int16", "value": 3}, "hostName": {"type": "uint16", "value": 4}},
    {"status": 1, "modelCode": "0x78C7", "resourceName": {"type": "int32", "value": 5},
     "sourceNames": ["kelsyscfg"], "sourceResourceName": "system", "sourceCount": {"type": "string", "value": "9"},
     "hostName": {"type": "int32", "value": 6}},
    {"status": 1, "modelCode": "0x7066", "resourceName": "Dev9", "sourceCount": {"type": "string", "value": "9"},
     "hostName": {"type": "int32", "value": 6}})");
  PollFor(1, Names{"Dev9", "sync://localhost/system"});
  EXPECT_EQ(kelsimFailureCount(), 0u);
}

// A huge source count walks only as far as it must: "network" among the first
// names ends it at once.
TEST_F(RecordsTest, HugeSourceCountWithNetworkEarlyIsListed) {
  Replace(R"({"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["mdns", "network"],
              "sourceCount": 2147483647, "hostName": "far"})");
  PollFor(1, Names{"sync://far/system"});
}

// Without the names, the walk goes on past the indexed property's limit,
// where the next present tag (the record's own status, 0x6000 above the
// first source name) is read as a source name and fails: the refresh is
// abandoned after a bounded number of presence tests, and tried once more
// with a new framework.
TEST_F(RecordsTest, HugeSourceCountWithoutNamesAbandonsTheRefreshInBoundedTime) {
  const std::uint64_t presenceTests = kelsimCallCount("HasProperty");
  const std::uint64_t live = kelsimLiveObjects();
  const auto start = std::chrono::steady_clock::now();
  Replace(R"({"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"},
             {"status": 1, "operatingSystem": "KEL-Linux x64", "sourceCount": 2147483647, "hostName": "far"})");
  ASSERT_TRUE(WaitFor([&] { return kelsimCallCount("HasProperty") > presenceTests + 0x6000; }));
  ASSERT_TRUE(WaitFor([&] { return kelsimLiveObjects() == live; })) << "the refresh still holds records";
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const std::uint64_t tests = kelsimCallCount("HasProperty") - presenceTests;
  std::printf("walk of a source count of 2^31-1: %llu presence tests, %lld ms\n",
              static_cast<unsigned long long>(tests),
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
  // Two walks: through the framework that served before, and at once through a new one.
  EXPECT_LT(tests, 2 * (3u * 0x6000 + 100));

  const std::uint64_t finds = kelsimCallCount("FindHardware");
  hostbind::UHandle slot = nullptr;
  EXPECT_EQ(Call(1, &slot), kUnchanged);
  EXPECT_EQ(kelsimCallCount("FindHardware"), finds);
  Replace(R"({"status": 1, "modelCode": "0x7066", "resourceName": "Dev2"})");
  PollFor(1, Names{"Dev2"});
}

}  // namespace
}  // namespace road
