#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace kelmorrow_test {
namespace {

using ControlTest = KelmorrowTest;
using test_support::kelsim::FailCall;
using test_support::kelsim::FailFor;
using test_support::kelsim::FailRun;

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

// A run fails the next calls, then the operation answers as before, an
// every-call failure included. A failure due at one call comes first; of
// runs under way, the one set last answers.
TEST_F(ControlTest, ARunFailsTheNextCallsThenAnswersAsBefore) {
  auto bag = Record(R"({"status": 1})");
  auto read = [&] {
    std::int32_t status = 0;
    HRESULT result = bag->GetInt32(0x1024000, &status);
    EXPECT_EQ(status, result == 0 ? 1 : 0);
    return result;
  };
  FailRun("GetInt32", 3, platform::kE_UNEXPECTED);
  FailCall("GetInt32", 2, platform::kE_FAIL);
  EXPECT_EQ(read(), platform::kE_UNEXPECTED);
  EXPECT_EQ(read(), platform::kE_FAIL);
  EXPECT_EQ(read(), platform::kE_UNEXPECTED);
  EXPECT_EQ(read(), 0);

  FailCall("GetInt32", 0, kE_AccessDenied);
  FailRun("GetInt32", 3, platform::kE_UNEXPECTED);
  FailRun("GetInt32", 1, platform::kE_POINTER);
  const std::uint64_t failures = kelsimFailureCount();
  const std::uint64_t calls = kelsimCallCount("GetInt32");
  for (HRESULT expected : {platform::kE_POINTER, platform::kE_UNEXPECTED, platform::kE_UNEXPECTED, kE_AccessDenied,
                           kE_AccessDenied}) {
    EXPECT_EQ(read(), expected);
  }
  EXPECT_EQ(kelsimFailureCount(), failures + 5);
  EXPECT_EQ(kelsimCallCount("GetInt32"), calls + 5);
  FailRun("GetInt32", 2, platform::kE_UNEXPECTED);
  kelsimClearFailures();
  EXPECT_EQ(read(), 0);
}

// Framework creation refused, queries and registrations failing for a
// while: each operation's run counts its own calls.
TEST_F(ControlTest, EveryOperationCanFailForARunOfCalls) {
  Load(R"({"targets": {"": {"records": [{"status": 1}]}}})");
  auto framework = Framework();
  RecordingHandler handler;
  struct Case {
    const char* operation;
    std::function<HRESULT()> call;
  };
  const Case cases[] = {
      {"kelsysInstantiateFramework2",
       [] {
         ComPtr<morrowkit::IqvSysFramework> made;
         HRESULT result = kelsysInstantiateFramework2(1, 1, made.Put());
         EXPECT_EQ(made.Get() != nullptr, result == 0);
         return result;
       }},
      {"FindHardware",
       [&] {
         ComPtr<morrowkit::IqvSysEnumUnknown> records;
         HRESULT result = framework->FindHardware(Wide(u"").c_str(), records.Put());
         EXPECT_EQ(records.Get() != nullptr, result == 0);
         return result;
       }},
      {"SetNotificationHandler",
       [&] {
         HRESULT result = framework->SetNotificationHandler(Wide(u"").c_str(), &handler, nullptr);
         EXPECT_EQ(kelsimRegistrations(), result == 0 ? 1u : 0u);
         if (result == 0) framework->SetNotificationHandler(Wide(u"").c_str(), nullptr, nullptr);
         return result;
       }},
  };
  for (const Case& tried : cases) {
    SCOPED_TRACE(tried.operation);
    FailRun(tried.operation, 2, kRpcS_ServerUnavailable);
    const std::uint64_t failures = kelsimFailureCount();
    EXPECT_EQ(tried.call(), kRpcS_ServerUnavailable);
    EXPECT_EQ(tried.call(), kRpcS_ServerUnavailable);
    EXPECT_EQ(tried.call(), 0);
    EXPECT_EQ(tried.call(), 0);
    EXPECT_EQ(kelsimFailureCount(), failures + 2);
  }
  EXPECT_EQ(handler.refs(), 0);
}

// A failure for a while ends by itself, and the operation answers as before.
TEST_F(ControlTest, AFailureForAWhileEndsByItself) {
  auto framework = Framework();
  auto find = [&] {
    ComPtr<morrowkit::IqvSysEnumUnknown> records;
    return framework->FindHardware(Wide(u"").c_str(), records.Put());
  };
  FailFor("FindHardware", 600000, kRpcS_ServerUnavailable);
  EXPECT_EQ(find(), kRpcS_ServerUnavailable);
  EXPECT_EQ(find(), kRpcS_ServerUnavailable);
  kelsimClearFailures();
  EXPECT_EQ(find(), 0);
  FailCall("FindHardware", 0, kE_AccessDenied);
  FailFor("FindHardware", 1, kRpcS_ServerUnavailable);
  EXPECT_TRUE(WaitFor([&] { return find() == kE_AccessDenied; }));
  EXPECT_EQ(find(), kE_AccessDenied);
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
  EXPECT_EQ(kelsimSetFailureRun("FindHardwear", 2, -1, error, sizeof error), -1);
  EXPECT_EQ(std::string(error), "unknown operation \"FindHardwear\"");
  EXPECT_EQ(kelsimSetFailureFor(nullptr, 2, -1, error, sizeof error), -1);
  EXPECT_EQ(std::string(error), "unknown operation \"\"");
  EXPECT_EQ(kelsimSetFailureRun("FindHardware", 0, -1, error, sizeof error), -1);
  EXPECT_EQ(std::string(error), "a run of failures needs a count of 1 or more");
  EXPECT_EQ(kelsimSetFailureFor("FindHardware", 0, -1, error, sizeof error), -1);
  EXPECT_EQ(std::string(error), "a failure for a while needs 1 ms or more");
  EXPECT_EQ(kelsimSetFailureRun("OnConfigurationChanged", 1, -1, error, sizeof error), -1);
  EXPECT_EQ(std::string(error), "OnConfigurationChanged is the handler's: it can be delayed, not failed");
  EXPECT_EQ(kelsimSetFailureFor("OnConfigurationChanged", 1, -1, error, sizeof error), -1);
  auto framework = Framework();
  ComPtr<morrowkit::IqvSysEnumUnknown> records;
  EXPECT_EQ(framework->FindHardware(Wide(u"").c_str(), records.Put()), 0) << "nothing was set";
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

// After a restart every framework object made before is disconnected, the
// shared one too; what it handed out keeps working, and a new one works.
TEST_P(FrameworkObjectsTest, ARestartDisconnectsEveryObjectMadeBefore) {
  Load(R"({"targets": {"": {"records": [{"status": 1}, {"status": 2}]}}})");
  auto before = Framework();
  auto again = Framework();
  ComPtr<morrowkit::IqvSysEnumUnknown> records;
  ASSERT_EQ(before->FindHardware(Wide(u"").c_str(), records.Put()), 0);
  ComPtr<morrowkit::IqvSysFramework2> second;
  ASSERT_EQ(before->QueryInterface(morrowkit::kIID_IqvSysFramework2, reinterpret_cast<void**>(second.Put())), 0);
  kelsimRestartService();

  const std::uint64_t failures = kelsimFailureCount();
  const std::uint64_t finds = kelsimCallCount("FindHardware");
  ComPtr<morrowkit::IqvSysEnumUnknown> none;
  EXPECT_EQ(before->FindHardware(Wide(u"").c_str(), none.Put()), kRpcE_Disconnected);
  EXPECT_EQ(none.Get(), nullptr);
  EXPECT_EQ(again->SetNotificationHandler(Wide(u"").c_str(), nullptr, nullptr), kRpcE_Disconnected);
  std::int32_t licensed = 5;
  BSTR text = nullptr;
  BSTR detail = nullptr;
  EXPECT_EQ(second->GetLicenseState(&licensed, &text, &detail), kRpcE_Disconnected);
  EXPECT_EQ(licensed, 0);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(Utf8(Take(detail)), "the framework object was disconnected: the service restarted");
  ComPtr<morrowkit::IqvSysDiagnostics> diagnostics;
  ASSERT_EQ(before->QueryInterface(morrowkit::kIID_IqvSysDiagnostics, reinterpret_cast<void**>(diagnostics.Put())),
            0);
  std::uint32_t errors = 7;
  EXPECT_EQ(diagnostics->GetErrorCount(&errors), kRpcE_Disconnected);
  EXPECT_EQ(errors, 0u);
  EXPECT_EQ(kelsimFailureCount(), failures + 4);
  EXPECT_EQ(kelsimCallCount("FindHardware"), finds + 1);
  EXPECT_EQ(Items(records.Get()).size(), 2u);

  auto after = Framework();
  auto another = Framework();
  EXPECT_NE(after.Get(), before.Get());
  EXPECT_EQ(after.Get() == another.Get(), shared_);
  ComPtr<morrowkit::IqvSysEnumUnknown> found;
  ASSERT_EQ(after->FindHardware(Wide(u"").c_str(), found.Put()), 0);
  EXPECT_EQ(kelsimLiveObjects(), (shared_ ? 2u : 4u) + 6u);  // framework objects, two enumerators and their records
  // A second restart disconnects the objects made between.
  kelsimRestartService();
  EXPECT_EQ(another->FindHardware(Wide(u"").c_str(), none.Put()), kRpcE_Disconnected);
  EXPECT_NE(Framework().Get(), after.Get());
  for (auto* held : {&before, &again, &after, &another}) held->Reset();
  second.Reset();
  diagnostics.Reset();
  EXPECT_EQ(Items(found.Get()).size(), 2u);
  found.Reset();
  records.Reset();
  EXPECT_EQ(kelsimLiveObjects(), 0u);
  EXPECT_EQ(kelsimOutstandingReferences(), 0u);
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
