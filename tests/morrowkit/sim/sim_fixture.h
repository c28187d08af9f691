#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "kelsim.h"
#include "morrowkit/framework/framework_handle.h"
#include "morrowkit/propbag/property_bag_handle.h"
#include "sim_library.h"

namespace morrowkit::sim_test {

constexpr std::uint32_t kTagModelCode = 0x1005000;
constexpr std::uint32_t kTagResourceName = 0x101F000;
constexpr std::uint32_t kTagStatus = 0x1024000;

constexpr char kDescription[] = R"({
  "targets": {
    "": {
      "hostName": "localhost",
      "aliases": {"timing": "Rack1Slot2"},
      "records": [
        {"status": 1, "modelCode": "0x7066", "resourceName": "Rack1Slot2", "sourceNames": ["kelsyscfg"],
         "properties": {"0x101EFFE": {"type": "string", "value": "last"}}},
        {"status": 1, "modelCode": 31239, "resourceName": "Hidden", "refusesPropertyBag": true},
        {"status": {"type": "string", "value": "1"}, "modelCode": {"readFailure": "0x80004005"},
         "resourceName": {"stringFalse": true},
         "sourceNames": ["network", {"value": "kelsyscfg", "readFailure": "0x80070005"}],
         "hostName": {"value": "rt-b", "hasPropertyFailure": "0x8000FFFF"}},
        {"status": 1, "modelCode": "0x72FB", "resourceName": "Dev1 \u2013 \u03a9 \ud834\udd1e"}
      ]
    },
    "rt-\u00e9.lab": {"records": [{"status": 1, "modelCode": "0x7066", "resourceName": "Remote1"}]},
    "down.lab": {"findHardwareFailure": "0x800706BA", "records": []},
    "void.lab": {"findHardwareNull": true}
  },
  "settings": {"properties": {"0x2002000": {"type": "string", "value": "nightly"}}},
  "license": {"licensed": true, "text": "Simulated licence"}
})";

// The client against the simulated library. Every test leaves no library
// object alive once its handles are gone.
class SimTest : public ::testing::Test {
 protected:
  using Handle = FrameworkHandle<PropertyBagHandle>;

  void SetUp() override {
    kelsimReset();
    ASSERT_EQ(kelsimLiveObjects(), 0u) << "an earlier test left objects alive";
    test_support::kelsim::Load(kDescription);
    handle_ = std::make_unique<Handle>(true, true);
  }
  void TearDown() override {
    handle_.reset();
    test_support::kelsim::ExpectQuiet();
    kelsimReset();
  }

  std::unique_ptr<Handle> handle_;
};

}  // namespace morrowkit::sim_test
