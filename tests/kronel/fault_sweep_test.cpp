#include <map>
#include <string>

#include "cache_fixture.h"
#include "kelsim.h"

namespace kronel_test {
namespace {

using Names = std::vector<std::string>;

constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);

const char kMixed[] = R"([
  {"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"},
  {"status": 0, "modelCode": "0x7066", "resourceName": "Off"},
  {"modelCode": "0x7066"},
  {"status": 1, "modelCode": "0x78C7", "sourceNames": ["kelsyscfg"], "sourceResourceName": "system"},
  {"status": 1, "operatingSystem": "Linux-ARMv7-A", "sourceNames": ["mdns", "network"], "hostName": "rt-lab"},
  {"status": 1, "modelCode": "0x75E5", "resourceName": "Dev2", "operatingSystem": "KEL-Linux x64",
   "sourceNames": ["kelsyscfg", "network"], "sourceResourceName": "other", "hostName": "combo"}
])";

// Calls that end a refresh when they fail; the others (a refused interface,
// an unanswered presence test) only change what the refresh sees.
const char* const kAbandoning[] = {"FindHardware", "Next", "GetInt32", "GetUInt32", "GetString"};
const char* const kTolerated[] = {"QueryInterface", "HasProperty"};

std::map<std::string, std::uint64_t> CountCalls() {
  std::map<std::string, std::uint64_t> counts;
  for (const char* op : kAbandoning) counts[op] = kelsimCallCount(op);
  for (const char* op : kTolerated) counts[op] = kelsimCallCount(op);
  return counts;
}

// Every call a refresh makes fails once, in its own run. The refresh gives
// its framework back and reads at once through a new one: the list comes
// whole, and nothing of the old framework is left.
TEST_F(CacheTest, EachFailingCallIsHealedAtOnceByANewFramework) {
  Load(LocalTarget(kMixed));
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  const Names good = cache->CopyNames();
  ASSERT_EQ(good, (Names{"Dev1", "Dev2", "sync://combo/system", "sync://localhost/system", "sync://rt-lab/system"}));

  const auto before = CountCalls();
  RefreshAndWait(*cache);
  const auto after = CountCalls();
  const std::uint64_t liveWithCache = kelsimLiveObjects();

  for (const char* op : kAbandoning) {
    const std::uint64_t calls = after.at(op) - before.at(op);
    ASSERT_GT(calls, 0u) << op;
    for (std::uint64_t nth = 1; nth <= calls; ++nth) {
      SCOPED_TRACE(std::string(op) + " call " + std::to_string(nth));
      const std::uint32_t version = cache->GetVersion();
      const std::uint64_t frameworks = kelsimCallCount("kelsysInstantiateFramework2");
      FailCall(op, static_cast<std::uint32_t>(nth), kFail);
      RefreshAndWait(*cache);
      kelsimClearFailures();
      EXPECT_EQ(cache->CopyNames(), good);
      EXPECT_EQ(cache->GetVersion(), version + 1);
      EXPECT_EQ(kelsimCallCount("kelsysInstantiateFramework2"), frameworks + 1);
      EXPECT_TRUE(cache->IsUpToDate());
      EXPECT_FALSE(cache->IsRefreshing());
      EXPECT_TRUE(WaitUntilLiveObjects(liveWithCache));
      EXPECT_EQ(kelsimRegistrations(), 1u);
    }
  }

  for (const char* op : kTolerated) {
    const std::uint64_t calls = after.at(op) - before.at(op);
    for (std::uint64_t nth = 1; nth <= calls; ++nth) {
      SCOPED_TRACE(std::string(op) + " call " + std::to_string(nth));
      const std::uint32_t version = cache->GetVersion();
      FailCall(op, static_cast<std::uint32_t>(nth), kFail);
      RefreshAndWait(*cache);
      kelsimClearFailures();
      EXPECT_EQ(cache->GetVersion(), version + 1);
      EXPECT_TRUE(cache->IsUpToDate());
      EXPECT_EQ(kelsimLiveObjects(), liveWithCache);
    }
  }

  RefreshAndWait(*cache);
  EXPECT_EQ(cache->CopyNames(), good);
}

}  // namespace
}  // namespace kronel_test
