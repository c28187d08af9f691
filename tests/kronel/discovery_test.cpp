#include <string>
#include <vector>

#include "cache_fixture.h"
#include "kelsim.h"

namespace kronel_test {
namespace {

using Names = std::vector<std::string>;

std::uint64_t Calls(const char* operation) { return kelsimCallCount(operation); }

// Every rule of discovery, each record annotated with what it must give.
const char kRules[] = R"([
  {"status": 1, "modelCode": "0x7066", "resourceName": "Rack1Slot2"},
  {"status": 1, "modelCode": 30182, "resourceName": "Dev1"},
  {"status": 1, "modelCode": "0x7066", "resourceName": "Rack1Slot2"},
  {"status": 1, "modelCode": "0x1234", "resourceName": "UnlistedModel"},
  {"status": 0, "modelCode": "0x7066", "resourceName": "StatusZero"},
  {"status": 2, "modelCode": "0x7066", "resourceName": "StatusTwo"},
  {"status": -1, "modelCode": "0x7066", "resourceName": "StatusNegative"},
  {"modelCode": "0x7066", "resourceName": "NoStatus"},
  {"status": 1, "modelCode": "0x7065", "resourceName": ""},
  {"status": 1, "modelCode": "0x7065"},
  {"status": 1, "modelCode": "0x7047", "resourceName": "alpha"},
  {"status": 1, "modelCode": "0x7047", "resourceName": "\u00c9lan"},
  {"status": 1, "modelCode": "0x78C7", "sourceNames": ["kelsyscfg", "network"],
   "sourceResourceName": "system", "hostName": "never-remote"},
  {"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["kelsyscfg"], "sourceResourceName": "other"},
  {"status": 1, "operatingSystem": "Linux-ARMv7-A", "sourceNames": ["mdns", "network"], "hostName": "rt-lab"},
  {"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["network"], "hostName": "rt-lab"},
  {"status": 1, "modelCode": "0x7A07", "sourceNames": ["network"]},
  {"status": 1, "operatingSystem": "kel-linux x64", "sourceNames": ["network"], "hostName": "wrong-case"},
  {"status": 1, "operatingSystem": "KEL-Linux x64 ", "sourceNames": ["network"], "hostName": "trailing-space"},
  {"status": 1, "modelCode": "0x7943", "operatingSystem": "Windows", "sourceNames": ["network"], "hostName": "by-model"},
  {"status": 1, "modelCode": "0x7405", "resourceName": "Combo", "operatingSystem": "KEL-Linux x64",
   "sourceNames": ["network"], "hostName": "combo"},
  {"status": 1, "modelCode": "0x78B9", "sourceNames": ["network"], "sourceCount": 0, "hostName": "count-zero"},
  {"status": 1, "modelCode": "0x78B9", "sourceNames": ["network"], "sourceCount": -1, "hostName": "count-negative"},
  {"status": 1, "modelCode": "0x78B9", "sourceNames": ["a", "b", "network"], "sourceCount": 2, "hostName": "past-count"},
  {"status": 0, "modelCode": "0x78C7", "sourceNames": ["network"], "hostName": "system-off"}
])";

TEST_F(CacheTest, DiscoveryOffersDevicesAndSystemsInByteOrder) {
  Load(LocalTarget(kRules));
  auto cache = MakeCache();
  RefreshAndWait(*cache);

  const Names expected = {"Combo",
                          "Dev1",
                          "Rack1Slot2",
                          "alpha",
                          "sync:///system",
                          "sync://by-model/system",
                          "sync://combo/system",
                          "sync://localhost/system",
                          "sync://rt-lab/system",
                          "\xC3\x89lan"};
  EXPECT_EQ(cache->CopyNames(), expected);
  EXPECT_EQ(cache->GetVersion(), 101u);
  EXPECT_TRUE(cache->IsUpToDate());
}

TEST_F(CacheTest, DiscoveryReadsTheCachesOwnTarget) {
  Load(R"({"targets": {
    "": {"records": [{"status": 1, "modelCode": "0x7066", "resourceName": "LocalDev"}]},
    "rt-a": {"records": [{"status": 1, "modelCode": "0x7066", "resourceName": "RemoteDev"}]}}})");
  auto local = MakeCache("");
  auto remote = MakeCache("rt-a");
  RefreshAndWait(*local);
  RefreshAndWait(*remote);
  EXPECT_EQ(local->CopyNames(), Names{"LocalDev"});
  EXPECT_EQ(remote->CopyNames(), Names{"RemoteDev"});
}

TEST_F(CacheTest, EmptyTargetStillPublishesANewVersion) {
  Load(LocalTarget("[]"));
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  EXPECT_TRUE(cache->CopyNames().empty());
  EXPECT_EQ(cache->GetVersion(), 101u);
}

// A record that fails the status rule costs at most two calls, and a resource
// name is read only for device models.
TEST_F(CacheTest, DiscoveryReadsLazily) {
  Load(LocalTarget(R"([
    {"modelCode": "0x7066", "resourceName": "NoStatus"},
    {"status": 0, "modelCode": "0x7066", "resourceName": "Off"},
    {"status": 3, "modelCode": "0x7066", "resourceName": "Off"}])"));
  auto cache = MakeCache();
  RefreshAndWait(*cache);
  EXPECT_EQ(Calls("HasProperty"), 3u);
  EXPECT_EQ(Calls("GetInt32"), 2u);
  EXPECT_EQ(Calls("GetUInt32"), 0u);
  EXPECT_EQ(Calls("GetString"), 0u);

  Load(LocalTarget(R"([{"status": 1, "modelCode": "0x1234", "resourceName": "NotADevice"}])"));
  const std::uint64_t strings = Calls("GetString");
  RefreshAndWait(*cache);
  EXPECT_EQ(Calls("GetString"), strings);
  EXPECT_TRUE(cache->CopyNames().empty());
}

}  // namespace
}  // namespace kronel_test
