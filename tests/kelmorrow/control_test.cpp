#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace kelmorrow_test {
namespace {

using ControlTest = KelmorrowTest;
using test_support::kelsim::FailCall;

// Injected results: once at the n-th call from now, or at every call.
TEST_F(ControlTest, NthCallFromNowFailsOnce) {
  auto bag = Record(R"({"status": 1})");
  std::int32_t status = 0;
  EXPECT_EQ(bag->GetInt32(0x1024000, &status), 0);
  FailCall("GetInt32", 2, platform::kE_FAIL);
  EXPECT_EQ(bag->GetInt32(0x1024000, &status), 0);
  EXPECT_EQ(bag->GetInt32(0x1024000, &status), platform::kE_FAIL);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(bag->GetInt32(0x1024000, &status), 0);
  EXPECT_EQ(status, 1);
}

TEST_F(ControlTest, EveryCallFailsUntilCleared) {
  auto bag = Record(R"({"resourceName": "Dev1"})");
  FailCall("GetString", 0, platform::kS_FALSE);
  FailCall("HasProperty", 0, platform::kE_UNEXPECTED);
  BSTR text = nullptr;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(bag->GetString(0x101F000, &text), platform::kS_FALSE);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(bag->HasProperty(0x101F000), platform::kE_UNEXPECTED);
  }
  kelsimClearFailures();
  EXPECT_EQ(bag->GetString(0x101F000, &text), 0);
  Take(text);
  EXPECT_EQ(bag->HasProperty(0x101F000), 0);
}

TEST_F(ControlTest, InstantiationQueryAndNextCanFail) {
  Load(R"({"targets": {"": {"records": [{"status": 1}, {"status": 2}]}}})");
  FailCall("kelsysInstantiateFramework2", 1, platform::kE_OUTOFMEMORY);
  morrowkit::IqvSysFramework* raw = reinterpret_cast<morrowkit::IqvSysFramework*>(1);
  EXPECT_EQ(kelsysInstantiateFramework2(1, 1, &raw), platform::kE_OUTOFMEMORY);
  EXPECT_EQ(raw, nullptr);

  auto framework = Framework();
  ComPtr<morrowkit::IqvSysEnumUnknown> records;
  ASSERT_EQ(framework->FindHardware(Wide(u"").c_str(), records.Put()), 0);
  FailCall("Next", 2, platform::kE_FAIL);
  morrowkit::IUnknown* item = nullptr;
  EXPECT_EQ(records->Next(1, &item, nullptr), 0);
  ComPtr<morrowkit::IUnknown> first = ComPtr<morrowkit::IUnknown>::Attach(item);
  EXPECT_EQ(records->Next(1, &item, nullptr), platform::kE_FAIL);
  EXPECT_EQ(item, nullptr);

  FailCall("QueryInterface", 1, platform::kE_NOINTERFACE);
  void* bag = nullptr;
  EXPECT_EQ(first->QueryInterface(morrowkit::kIID_IqvSysPropertyBag, &bag), platform::kE_NOINTERFACE);
  EXPECT_EQ(first->QueryInterface(morrowkit::kIID_IqvSysPropertyBag, &bag), 0);
  static_cast<morrowkit::IUnknown*>(bag)->Release();
}

TEST_F(ControlTest, InjectedFailureFillsTheDetail) {
  auto framework = Framework();
  ComPtr<morrowkit::IqvSysFramework2> second;
  ASSERT_EQ(framework->QueryInterface(morrowkit::kIID_IqvSysFramework2, reinterpret_cast<void**>(second.Put())), 0);
  FailCall("GetLicenseState", 0, static_cast<HRESULT>(0x80070005u));
  std::int32_t licensed = 5;
  BSTR text = nullptr;
  BSTR detail = nullptr;
  EXPECT_EQ(second->GetLicenseState(&licensed, &text, &detail), static_cast<HRESULT>(0x80070005u));
  EXPECT_EQ(licensed, 0);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(Utf8(Take(detail)), "injected failure of GetLicenseState");
}

TEST_F(ControlTest, RefusesUnknownOperations) {
  char error[256];
  EXPECT_EQ(kelsimSetFailure("FindHardwear", 1, -1, error, sizeof error), -1);
  EXPECT_EQ(std::string(error), "unknown operation \"FindHardwear\"");
  EXPECT_EQ(kelsimSetLatency("AddRef", 5, error, sizeof error), -1);
  EXPECT_EQ(kelsimCallCount("nothing"), UINT64_MAX);
}

TEST_F(ControlTest, LatencyDelaysTheCall) {
  auto framework = Framework();
  char error[256];
  ASSERT_EQ(kelsimSetLatency("FindHardware", 60, error, sizeof error), 0);
  ComPtr<morrowkit::IqvSysEnumUnknown> records;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(framework->FindHardware(Wide(u"").c_str(), records.Put()), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
  ASSERT_EQ(kelsimSetLatency("FindHardware", 0, error, sizeof error), 0);
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(framework->FindHardware(Wide(u"").c_str(), records.Put()), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
}

TEST_F(ControlTest, CountsCallsAndFailuresUntilReset) {
  auto bag = Record(R"({"status": 1})");
  std::int32_t status = 0;
  std::uint64_t before = kelsimCallCount("GetInt32");
  bag->GetInt32(0x1024000, &status);
  bag->GetInt32(0x1234, &status);
  EXPECT_EQ(kelsimCallCount("GetInt32"), before + 2);
  EXPECT_EQ(kelsimFailureCount(), 1u);
  EXPECT_EQ(kelsimCallCount("kelsysInstantiateFramework2"), 1u);
  bag.Reset();
  kelsimReset();
  EXPECT_EQ(kelsimCallCount("GetInt32"), 0u);
  EXPECT_EQ(kelsimFailureCount(), 0u);
}

class FrameworkObjectsTest : public ControlTest, public ::testing::WithParamInterface<ProfileCase> {
 protected:
  void SetUp() override {
    ControlTest::SetUp();
    SetProfile(GetParam().json);
    shared_ = std::string(GetParam().json).find("shared") != std::string::npos;
  }
  bool shared_ = false;
};

INSTANTIATE_TEST_SUITE_P(Profiles, FrameworkObjectsTest,
                         ::testing::Values(ProfileCase{"New", R"({"registrations": "per-framework"})"},
                                           ProfileCase{"Shared", R"({"registrations": "per-framework",
                                                                     "frameworks": "shared"})"}),
                         ProfileName);

// Every object the library hands out is counted until its last release; a
// shared framework object is one object with one count.
TEST_P(FrameworkObjectsTest, ReferencesReturnToZeroAfterRelease) {
  Load(R"({"targets": {"": {"records": [{"status": 1}, {"status": 2}]}}})");
  {
    auto framework = Framework();
    auto again = Framework();
    EXPECT_EQ(framework.Get() == again.Get(), shared_);
    ComPtr<morrowkit::IqvSysEnumUnknown> records;
    ASSERT_EQ(framework->FindHardware(Wide(u"").c_str(), records.Put()), 0);
    EXPECT_EQ(kelsimLiveObjects(), shared_ ? 4u : 5u);  // framework objects, enumerator, two records
    EXPECT_EQ(kelsimOutstandingReferences(), 5u);       // the enumerator holds the records
    auto items = Items(records.Get());
    EXPECT_EQ(kelsimOutstandingReferences(), 7u);
    records.Reset();
    again.Reset();
    EXPECT_EQ(kelsimLiveObjects(), 3u);
    EXPECT_EQ(kelsimOutstandingReferences(), 3u);
  }
  EXPECT_EQ(kelsimLiveObjects(), 0u);
  EXPECT_EQ(kelsimOutstandingReferences(), 0u);
}

// After its last release the shared object is gone for good: the next one is
// another object, which cannot remove the registrations of the first.
TEST_P(FrameworkObjectsTest, TheNextObjectAfterTheLastReleaseIsANewOne) {
  RecordingHandler handler;
  auto first = Framework();
  ASSERT_EQ(first->SetNotificationHandler(Wide(u"rt").c_str(), &handler, nullptr), 0);
  auto second = Framework();
  EXPECT_EQ(second->SetNotificationHandler(Wide(u"rt").c_str(), nullptr, nullptr),
            shared_ ? platform::kS_OK : platform::kS_FALSE);
  EXPECT_EQ(first->SetNotificationHandler(Wide(u"rt").c_str(), &handler, nullptr), 0);
  first.Reset();
  second.Reset();
  EXPECT_EQ(kelsimLiveObjects(), 0u);
  auto next = Framework();
  EXPECT_EQ(next->SetNotificationHandler(Wide(u"rt").c_str(), nullptr, nullptr), platform::kS_FALSE);
  EXPECT_EQ(kelsimRegistrations(), 1u);
  next.Reset();
  kelsimReset();
  EXPECT_EQ(handler.refs(), 0);
}

// Threads that take and drop the object at once never share one on its way out.
TEST_P(FrameworkObjectsTest, ConcurrentInstantiationsAndReleasesCountRight) {
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([] {
      for (int round = 0; round < 500; ++round) {
        auto framework = Framework();
        std::uint32_t count = 0;
        ComPtr<morrowkit::IqvSysDiagnostics> diagnostics;
        ASSERT_EQ(framework->QueryInterface(morrowkit::kIID_IqvSysDiagnostics,
                                            reinterpret_cast<void**>(diagnostics.Put())),
                  0);
        EXPECT_EQ(diagnostics->GetErrorCount(&count), 0);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(kelsimLiveObjects(), 0u);
  EXPECT_EQ(kelsimOutstandingReferences(), 0u);
}

}  // namespace
}  // namespace kelmorrow_test
