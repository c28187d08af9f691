#include <atomic>
#include <chrono>
#include <future>
#include <string>

#include "test_support.h"

namespace kelmorrow_test {
namespace {

using test_support::kelsim::ApplyChange;
using test_support::kelsim::ApplyChangeDuring;
using test_support::kelsim::ChangeProfile;

constexpr char kAddC[] = R"({"add": [{"resourceName": "C"}]})";

class NotificationTest : public KelmorrowTest {
 protected:
  virtual const char* ProfileJson() const { return "{}"; }
  bool ProfileSays(const char* value) const {
    return std::string(ProfileJson()).find(value) != std::string::npos;
  }

  void SetUp() override {
    KelmorrowTest::SetUp();
    SetProfile(ProfileJson());
    Load(R"({"targets": {"rt.lab": {"records": [{"resourceName": "A"}, {"resourceName": "B"}]}}})");
    framework_ = Framework();
  }
  void TearDown() override {
    framework_.Reset();
    KelmorrowTest::TearDown();
    EXPECT_EQ(handler_.refs(), 0);
  }

  void Register(const char16_t* target = u"rt.lab") {
    ASSERT_EQ(framework_->SetNotificationHandler(Wide(target).c_str(), &handler_, &context_), 0);
  }
  HRESULT Unregister(const char16_t* target = u"rt.lab") {
    return framework_->SetNotificationHandler(Wide(target).c_str(), nullptr, nullptr);
  }

  ComPtr<morrowkit::IqvSysFramework> framework_;
  RecordingHandler handler_;
  int context_ = 0;
};

// Every profile the library may have; the suites below that do not depend on
// one switch run under each.
const ProfileCase kProfiles[] = {
    {"Default", "{}"},
    {"PerFramework", R"({"registrations": "per-framework"})"},
    {"DoesNotWait", R"({"removal": "does-not-wait"})"},
    {"Inline", R"({"delivery": "inline"})"},
    {"SharedFrameworks", R"({"frameworks": "shared"})"},
    {"LateRelease", R"({"late-release-ms": 5})"},
    {"AllOtherWays", R"({"registrations": "per-framework", "removal": "does-not-wait", "delivery": "inline",
                         "frameworks": "shared", "late-release-ms": 5})"},
};

class ProfiledTest : public NotificationTest, public ::testing::WithParamInterface<ProfileCase> {
 protected:
  const char* ProfileJson() const override { return GetParam().json; }
  // Under inline delivery a new registration is called at once.
  std::size_t FirstCalls() const { return ProfileSays("inline") ? 1 : 0; }
};

class EveryProfileTest : public ProfiledTest {};

INSTANTIATE_TEST_SUITE_P(Profiles, EveryProfileTest, ::testing::ValuesIn(kProfiles), ProfileName);

// Each kind of change reaches the handler, on the library's thread or, inline,
// on the changing thread before the change returns.
TEST_P(EveryProfileTest, ChangesAreDeliveredWithKindAndNames) {
  Register();
  EXPECT_EQ(handler_.refs(), 1);
  EXPECT_EQ(kelsimHasHandler("rt.lab"), 1);
  EXPECT_EQ(kelsimRegistrations(), 1u);
  ApplyChange("rt.lab", R"({"add": [{"resourceName": "C"}, {"status": 1}]})");
  if (ProfileSays("inline")) {
    EXPECT_EQ(handler_.calls().size(), 2u);
  }
  ApplyChange("rt.lab", R"({"remove": ["A", "C"]})");
  ApplyChange("rt.lab", R"({"replace": [{"resourceName": "D"}, {"resourceName": "B"}]})");
  if (ProfileSays("inline")) {
    EXPECT_EQ(handler_.calls().size(), 4u);
  }
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(kelsimHandlerReferences(), 1u);
  auto calls = handler_.calls();
  ASSERT_EQ(calls.size(), 3u + FirstCalls());
  if (ProfileSays("inline")) {
    EXPECT_EQ(calls[0].kind, morrowkit::kChangeRecordsReplaced);
    EXPECT_EQ(calls[0].names, (std::vector<WideString>{Wide(u"A"), Wide(u"B")}));
  }
  const auto* changes = calls.data() + FirstCalls();
  EXPECT_EQ(changes[0].kind, morrowkit::kChangeRecordsAdded);
  EXPECT_EQ(changes[0].names, std::vector<WideString>{Wide(u"C")});
  EXPECT_EQ(changes[1].kind, morrowkit::kChangeRecordsRemoved);
  EXPECT_EQ(changes[1].names, (std::vector<WideString>{Wide(u"A"), Wide(u"C")}));
  EXPECT_EQ(changes[2].kind, morrowkit::kChangeRecordsReplaced);
  EXPECT_EQ(changes[2].names, (std::vector<WideString>{Wide(u"B"), Wide(u"D")}));
  for (const auto& call : calls) {
    EXPECT_EQ(call.context, &context_);
    EXPECT_EQ(call.thread == std::this_thread::get_id(), ProfileSays("inline"));
  }
  EXPECT_EQ(kelsimDeliveredNotifications(), calls.size());
  EXPECT_EQ(Records(u"rt.lab").size(), 2u);
  EXPECT_EQ(Unregister(), 0);
}

// A restart ends every registration without a callback, releasing its
// handler as a removal would; objects made before can neither register nor
// remove, one made after registers and is called.
TEST_P(EveryProfileTest, ARestartDropsEveryRegistrationWithoutACallback) {
  Register();
  auto other = Framework();
  ASSERT_EQ(other->SetNotificationHandler(Wide(u"other.lab").c_str(), &handler_, &context_), 0);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  const std::size_t calls = handler_.calls().size();
  const std::uint64_t dropped = kelsimDroppedNotifications();
  kelsimRestartService();
  EXPECT_EQ(kelsimRegistrations(), 0u);
  EXPECT_EQ(kelsimHasHandler("rt.lab"), 0);
  EXPECT_EQ(kelsimHasHandler("other.lab"), 0);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.refs(), 0);
  EXPECT_EQ(kelsimHandlerReferences(), 0u);
  ApplyChange("rt.lab", kAddC);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.calls().size(), calls);
  EXPECT_EQ(kelsimDroppedNotifications(), dropped + 1);
  EXPECT_EQ(Unregister(), kRpcE_Disconnected);
  EXPECT_EQ(framework_->SetNotificationHandler(Wide(u"rt.lab").c_str(), &handler_, &context_), kRpcE_Disconnected);
  EXPECT_EQ(handler_.refs(), 0);
  EXPECT_EQ(kelsimRegistrations(), 0u);

  framework_ = Framework();
  Register();
  ApplyChange("rt.lab", R"({"remove": ["C"]})");
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  auto after = handler_.calls();
  ASSERT_EQ(after.size(), calls + FirstCalls() + 1);
  EXPECT_EQ(after.back().kind, morrowkit::kChangeRecordsRemoved);
  EXPECT_EQ(Unregister(), 0);
}

// Without notification support every registration and removal is refused,
// the registrations held end, and every change is dropped; the other
// members of the profile stay as they were.
TEST_P(EveryProfileTest, WithoutNotificationSupportNothingIsRegisteredOrCalled) {
  Register();
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  const std::size_t calls = handler_.calls().size();
  ChangeProfile(R"({"notifications": "unsupported"})");
  EXPECT_EQ(kelsimRegistrations(), 0u);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.refs(), 0);
  const std::uint64_t failures = kelsimFailureCount();
  const std::uint64_t dropped = kelsimDroppedNotifications();
  EXPECT_EQ(framework_->SetNotificationHandler(Wide(u"rt.lab").c_str(), &handler_, &context_), kE_NotImpl);
  EXPECT_EQ(handler_.refs(), 0);
  EXPECT_EQ(kelsimHandlerReferences(), 0u);
  EXPECT_EQ(Unregister(), kE_NotImpl);
  EXPECT_EQ(Framework()->SetNotificationHandler(Wide(u"other.lab").c_str(), &handler_, nullptr), kE_NotImpl);
  EXPECT_EQ(kelsimFailureCount(), failures + 3);
  ApplyChange("rt.lab", kAddC);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.calls().size(), calls);
  EXPECT_EQ(kelsimDroppedNotifications(), dropped + 1);
  EXPECT_EQ(Framework().Get() == framework_.Get(), ProfileSays("shared"));

  ChangeProfile(R"({"notifications": "supported"})");
  Register();
  ApplyChange("rt.lab", R"({"remove": ["C"]})");
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.calls().size(), calls + FirstCalls() + 1);
  EXPECT_EQ(Unregister(), 0);
}

TEST_F(NotificationTest, ChangeOfATargetWithoutHandlerIsAppliedButDropped) {
  Register(u"other.lab");
  ApplyChange("rt.lab", kAddC);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_TRUE(handler_.calls().empty());
  EXPECT_EQ(kelsimDroppedNotifications(), 1u);
  EXPECT_EQ(Records(u"rt.lab").size(), 3u);
  EXPECT_EQ(Unregister(u"other.lab"), 0);
}

TEST_F(NotificationTest, RejectedChangeChangesAndNotifiesNothing) {
  Register();
  char error[512];
  EXPECT_EQ(kelsimApplyChange("rt.lab", R"({"remove": ["A", "Z"]})", "change.json", error, sizeof error), -1);
  EXPECT_EQ(std::string(error), "change.json:1:18: no record named \"Z\" on the target \"rt.lab\"");
  EXPECT_EQ(kelsimApplyChange("rt.lab", R"({"add": [], "remove": []})", nullptr, error, sizeof error), -1);
  EXPECT_EQ(std::string(error),
            "<change>:1:1: expected exactly one of \"replace\", \"add\" or \"remove\" in a change");
  // A change for later is checked now, and a rejected one never comes.
  EXPECT_EQ(kelsimApplyChangeDuring("FindHardware", "rt.lab", R"({"remove": ["Z"]})", "later.json", error,
                                    sizeof error),
            -1);
  EXPECT_EQ(std::string(error), "later.json:1:13: no record named \"Z\" on the target \"rt.lab\"");
  EXPECT_EQ(kelsimApplyChangeDuring("FindHardwear", "rt.lab", kAddC, nullptr, error, sizeof error), -1);
  EXPECT_EQ(std::string(error), "unknown operation \"FindHardwear\"");
  EXPECT_EQ(kelsimApplyChangeDuring("FindHardware", "rt.lab", "{\"add\": [}", nullptr, error, sizeof error),
            -1);
  EXPECT_EQ(std::string(error), "<change>:1:10: expected a JSON value, found '}'");
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_TRUE(handler_.calls().empty());
  EXPECT_EQ(Records(u"rt.lab").size(), 2u);
  EXPECT_EQ(Unregister(), 0);
}

// However registrations are kept, a removal lets go of the handler once.
TEST_P(EveryProfileTest, RemovalReleasesTheHandler) {
  Register();
  Register();
  EXPECT_EQ(kelsimRegistrations(), 1u);
  EXPECT_EQ(Unregister(), 0);
  EXPECT_EQ(kelsimHasHandler("rt.lab"), 0);
  EXPECT_EQ(kelsimRegistrations(), 0u);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.refs(), 0);
  EXPECT_EQ(kelsimHandlerReferences(), 0u);
  EXPECT_EQ(handler_.calls().size(), 2 * FirstCalls());
  EXPECT_EQ(Unregister(), platform::kS_FALSE);
  EXPECT_EQ(framework_->SetNotificationHandler(Wide(u"rt.lab").c_str(), nullptr, &context_),
            platform::kE_INVALIDARG);
}

TEST_P(EveryProfileTest, HandlerMayRemoveItselfFromItsCallback) {
  Register();
  handler_.during = [&] { EXPECT_EQ(Unregister(), 0); };
  ApplyChange("rt.lab", kAddC);
  ApplyChange("rt.lab", R"({"add": [{"resourceName": "D"}]})");
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.calls().size(), 1 + FirstCalls());
  EXPECT_EQ(kelsimHasHandler("rt.lab"), 0);
}

TEST_F(NotificationTest, ResetReleasesHandlersAndDropsTheQueue) {
  Register();
  handler_.Hold();
  ApplyChange("rt.lab", kAddC);
  ApplyChange("rt.lab", R"({"add": [{"resourceName": "D"}]})");
  ASSERT_TRUE(handler_.Entered());
  framework_.Reset();
  auto reset = std::async(std::launch::async, [] { kelsimReset(); });
  EXPECT_EQ(reset.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  handler_.Open();
  reset.get();
  EXPECT_EQ(handler_.calls().size(), 1u);
  EXPECT_EQ(handler_.refs(), 0);
}

TEST_F(NotificationTest, RefreshTargetNotifiesAndWaitsForDelivery) {
  Register();
  EXPECT_EQ(framework_->RefreshTarget(Wide(u"rt.lab").c_str(), 10000), 0);
  auto calls = handler_.calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, morrowkit::kChangeRecordsReplaced);
  EXPECT_EQ(calls[0].names, (std::vector<WideString>{Wide(u"A"), Wide(u"B")}));

  handler_.Hold();
  EXPECT_EQ(framework_->RefreshTarget(Wide(u"rt.lab").c_str(), 50), static_cast<HRESULT>(0x800705B4u));
  handler_.Open();
  EXPECT_EQ(framework_->RefreshTarget(Wide(u"gone.lab").c_str(), 0), kE_ElementNotFound);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(Unregister(), 0);
}

// Host threads, client workers and the library's callbacks all at once.
TEST_P(EveryProfileTest, ReadersChangesAndRegistrationsRunConcurrently) {
  std::atomic<bool> stop{false};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      auto framework = Framework();
      while (!stop) {
        for (auto& record : Records(u"rt.lab")) {
          BSTR name = nullptr;
          if (record->GetString(0x101F000, &name) == 0) Take(name);
        }
      }
    });
  }
  std::uint64_t registrations = 0;
  std::thread registrar([&] {
    while (!stop) {
      Register();
      ++registrations;
      Unregister();
    }
  });
  for (int i = 0; i < 200; ++i) ApplyChange("rt.lab", i % 2 == 0 ? kAddC : R"({"remove": ["C"]})");
  stop = true;
  for (auto& reader : readers) reader.join();
  registrar.join();
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.calls().size(), kelsimDeliveredNotifications());
  EXPECT_EQ(kelsimDeliveredNotifications() - registrations * FirstCalls() + kelsimDroppedNotifications(),
            200u);
  EXPECT_EQ(handler_.refs(), 0);
  EXPECT_EQ(kelsimHandlerReferences(), 0u);
}

class RegistrationsTest : public ProfiledTest {
 protected:
  void SetUp() override {
    ProfiledTest::SetUp();
    other_ = Framework();
    perFramework_ = ProfileSays("per-framework");
  }
  void TearDown() override {
    other_.Reset();
    NotificationTest::TearDown();
    EXPECT_EQ(second_.refs(), 0);
  }

  HRESULT RegisterSecond(morrowkit::IqvSysFramework* framework) {
    return framework->SetNotificationHandler(Wide(u"rt.lab").c_str(), &second_, &context_);
  }

  ComPtr<morrowkit::IqvSysFramework> other_;
  RecordingHandler second_;
  bool perFramework_ = false;
};

INSTANTIATE_TEST_SUITE_P(
    Profiles, RegistrationsTest,
    ::testing::Values(ProfileCase{"PerTarget", "{}"},
                      ProfileCase{"PerFramework", R"({"registrations": "per-framework"})"},
                      ProfileCase{"PerTargetInline", R"({"delivery": "inline"})"},
                      ProfileCase{"PerFrameworkInline",
                                  R"({"registrations": "per-framework", "delivery": "inline"})"}),
    ProfileName);

// Per framework object, a change reaches every registration of its target
// in the order they were made; per target only the newest, which replaced
// the older.
TEST_P(RegistrationsTest, AChangeReachesTheRegistrationsOfItsTarget) {
  std::vector<int> order;
  std::mutex orderMutex;
  handler_.during = [&] {
    std::lock_guard<std::mutex> lock(orderMutex);
    order.push_back(1);
  };
  second_.during = [&] {
    std::lock_guard<std::mutex> lock(orderMutex);
    order.push_back(2);
  };
  Register();
  ASSERT_EQ(RegisterSecond(other_.Get()), 0);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  {
    std::lock_guard<std::mutex> lock(orderMutex);
    order.clear();
  }
  EXPECT_EQ(kelsimRegistrations(), perFramework_ ? 2u : 1u);
  EXPECT_EQ(handler_.refs(), perFramework_ ? 1 : 0);
  ApplyChange("rt.lab", kAddC);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(order, (perFramework_ ? std::vector<int>{1, 2} : std::vector<int>{2}));

  // A removal through the first object removes its own registration, or per
  // target the one there is.
  EXPECT_EQ(Unregister(), 0);
  EXPECT_EQ(kelsimHasHandler("rt.lab"), perFramework_ ? 1 : 0);
  EXPECT_EQ(kelsimRegistrations(), perFramework_ ? 1u : 0u);
  EXPECT_EQ(RegisterSecond(other_.Get()), 0);
  EXPECT_EQ(other_->SetNotificationHandler(Wide(u"rt.lab").c_str(), nullptr, nullptr), 0);
  EXPECT_EQ(kelsimRegistrations(), 0u);
}

// Per framework object, a registration outlives its object, and a later
// object, perhaps at the same address, cannot remove it.
TEST_P(RegistrationsTest, ARegistrationOutlivesItsFrameworkObject) {
  ASSERT_EQ(RegisterSecond(other_.Get()), 0);
  other_.Reset();
  EXPECT_EQ(kelsimRegistrations(), 1u);
  auto later = Framework();
  EXPECT_EQ(later->SetNotificationHandler(Wide(u"rt.lab").c_str(), nullptr, nullptr),
            perFramework_ ? platform::kS_FALSE : platform::kS_OK);
  EXPECT_EQ(kelsimHasHandler("rt.lab"), perFramework_ ? 1 : 0);
  ApplyChange("rt.lab", kAddC);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(second_.calls().size(), FirstCalls() + (perFramework_ ? 1 : 0));
  EXPECT_EQ(second_.refs(), perFramework_ ? 1 : 0);
  later.Reset();
  kelsimReset();
  EXPECT_EQ(second_.refs(), 0);
}

class RemovalTest : public ProfiledTest {
 protected:
  void SetUp() override {
    ProfiledTest::SetUp();
    waits_ = !ProfileSays("does-not-wait");
  }
  bool waits_ = true;
};

INSTANTIATE_TEST_SUITE_P(
    Profiles, RemovalTest,
    ::testing::Values(ProfileCase{"Waits", "{}"},
                      ProfileCase{"DoesNotWait", R"({"removal": "does-not-wait"})"},
                      ProfileCase{"PerFrameworkWaits", R"({"registrations": "per-framework"})"},
                      ProfileCase{"PerFrameworkDoesNotWait",
                                  R"({"registrations": "per-framework", "removal": "does-not-wait"})"}),
    ProfileName);

// A removal waits for a running callback of its registration, or returns at
// once; either way the callback keeps a reference of its own to its end.
TEST_P(RemovalTest, RemovalMeetsARunningCallback) {
  Register();
  handler_.Hold();
  ApplyChange("rt.lab", kAddC);
  ASSERT_TRUE(handler_.Entered());
  EXPECT_EQ(kelsimHandlerReferences(), 2u);
  auto removal = std::async(std::launch::async, [&] { return Unregister(); });
  if (waits_) {
    EXPECT_EQ(removal.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  } else {
    ASSERT_EQ(removal.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(handler_.refs(), 1);
    EXPECT_EQ(kelsimHandlerReferences(), 1u);
  }
  handler_.Open();
  EXPECT_EQ(removal.get(), 0);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.calls().size(), 1u);
  EXPECT_EQ(handler_.refs(), 0);
}

// A restart meets a running callback as a removal does, and drops the
// notifications still queued.
TEST_P(RemovalTest, ARestartMeetsARunningCallbackAsARemovalDoes) {
  Register();
  handler_.Hold();
  ApplyChange("rt.lab", kAddC);
  ApplyChange("rt.lab", R"({"add": [{"resourceName": "D"}]})");
  ASSERT_TRUE(handler_.Entered());
  auto restart = std::async(std::launch::async, [] { kelsimRestartService(); });
  if (waits_) {
    EXPECT_EQ(restart.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  } else {
    ASSERT_EQ(restart.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(handler_.refs(), 1);
    // A registration made now never gets what was queued before.
    framework_ = Framework();
    Register();
  }
  handler_.Open();
  restart.get();
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.calls().size(), 1u);
  EXPECT_EQ(kelsimDroppedNotifications(), 1u);
  if (!waits_) {
    EXPECT_EQ(Unregister(), 0);
  }
  EXPECT_EQ(handler_.refs(), 0);
  EXPECT_EQ(kelsimRegistrations(), 0u);
}

// A notification under way: the library has begun the callback (the
// latency) but not yet called the handler. A waiting removal returns after
// the call; one that does not wait may return before it, and the call still
// comes.
TEST_P(RemovalTest, ANotificationUnderWayStillReachesItsHandler) {
  test_support::kelsim::SetLatency("OnConfigurationChanged", 100);
  Register();
  ApplyChange("rt.lab", kAddC);
  ASSERT_TRUE(WaitFor([] { return kelsimHandlerReferences() == 2; }));
  EXPECT_EQ(Unregister(), 0);
  if (waits_) {
    EXPECT_EQ(handler_.calls().size(), 1u);
  }
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.calls().size(), 1u);
  EXPECT_EQ(kelsimCallCount("OnConfigurationChanged"), 1u);
  char error[256];
  EXPECT_EQ(kelsimSetFailure("OnConfigurationChanged", 1, -1, error, sizeof error), -1);
  EXPECT_EQ(std::string(error), "OnConfigurationChanged is the handler's: it can be delayed, not failed");
}

class DeliveryTest : public ProfiledTest {
 protected:
  void SetUp() override {
    ProfiledTest::SetUp();
    inline_ = ProfileSays("inline");
  }
  // The calls made so far; inline, they must all be there already.
  std::vector<RecordingHandler::Call> CallsBy(std::size_t count) {
    if (!inline_) {
      EXPECT_TRUE(handler_.WaitForCalls(count));
    }
    auto calls = handler_.calls();
    EXPECT_EQ(calls.size(), count);
    for (const auto& call : calls)
      EXPECT_EQ(call.thread == std::this_thread::get_id(), inline_);
    return calls;
  }
  bool inline_ = false;
};

INSTANTIATE_TEST_SUITE_P(
    Profiles, DeliveryTest,
    ::testing::Values(ProfileCase{"LibraryThread", "{}"}, ProfileCase{"Inline", R"({"delivery": "inline"})"},
                      ProfileCase{"InlinePerFramework",
                                  R"({"delivery": "inline", "registrations": "per-framework"})"}),
    ProfileName);

// Inline, a new registration is called inside SetNotificationHandler with the
// target's resource names.
TEST_P(DeliveryTest, ANewRegistrationIsCalledAtOnceOnlyInline) {
  Register();
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  auto calls = handler_.calls();
  ASSERT_EQ(calls.size(), inline_ ? 1u : 0u);
  if (inline_) {
    EXPECT_EQ(calls[0].kind, morrowkit::kChangeRecordsReplaced);
    EXPECT_EQ(calls[0].names, (std::vector<WideString>{Wide(u"A"), Wide(u"B")}));
    EXPECT_EQ(calls[0].thread, std::this_thread::get_id());
  }
  EXPECT_EQ(Unregister(), 0);
}

// A change made during FindHardware is in the records it answers, and is
// notified inline before FindHardware returns.
TEST_P(DeliveryTest, AChangeDuringFindHardwareIsNotifiedAsTheProfileSays) {
  Register();
  std::size_t first = handler_.calls().size();
  ApplyChangeDuring("FindHardware", "rt.lab", kAddC);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.calls().size(), first);
  EXPECT_EQ(Records(u"rt.lab").size(), 3u);
  auto calls = CallsBy(first + 1);
  ASSERT_EQ(calls.size(), first + 1);
  EXPECT_EQ(calls.back().kind, morrowkit::kChangeRecordsAdded);
  EXPECT_EQ(calls.back().names, std::vector<WideString>{Wide(u"C")});
  // Only the next call.
  EXPECT_EQ(Records(u"rt.lab").size(), 3u);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.calls().size(), first + 1);
  EXPECT_EQ(Unregister(), 0);
}

TEST_P(DeliveryTest, AChangeDuringSetNotificationHandlerIsNotifiedAsTheProfileSays) {
  Register();
  std::size_t first = handler_.calls().size();
  ApplyChangeDuring("SetNotificationHandler", "rt.lab", R"({"remove": ["A"]})");
  EXPECT_EQ(Unregister(u"other.lab"), platform::kS_FALSE);
  auto calls = CallsBy(first + 1);
  ASSERT_EQ(calls.size(), first + 1);
  EXPECT_EQ(calls.back().kind, morrowkit::kChangeRecordsRemoved);
  EXPECT_EQ(Records(u"rt.lab").size(), 1u);
  EXPECT_EQ(Unregister(), 0);
}

// The reference of a removed or replaced registration goes after the delay,
// from a thread of the library; until then the library counts it, and the
// handler's last release is tallied as made there.
TEST_F(NotificationTest, LateReleaseComesAfterTheDelayOnALibraryThread) {
  SetProfile(R"({"late-release-ms": 100})");
  const std::uint64_t lastReleases = kelsimLastReleasesOnLibraryThreads();
  Register();
  auto replaced = std::chrono::steady_clock::now();
  Register();
  EXPECT_EQ(Unregister(), 0);
  EXPECT_EQ(kelsimRegistrations(), 0u);
  ASSERT_TRUE(WaitFor([&] {
    // Counted until the release has returned.
    bool counted = kelsimHandlerReferences() != 0;
    int refs = handler_.refs();
    EXPECT_TRUE(counted || refs == 0);
    return !counted;
  }));
  EXPECT_EQ(kelsimWaitIdle(10000), 1);
  auto releases = handler_.releases();
  ASSERT_EQ(releases.size(), 2u);
  for (const auto& release : releases) {
    EXPECT_NE(release.thread, std::this_thread::get_id());
    EXPECT_GE(release.time - replaced, std::chrono::milliseconds(100));
  }
  EXPECT_EQ(kelsimLastReleasesOnLibraryThreads(), lastReleases + 1);
}

TEST_F(NotificationTest, WaitIdleWaitsForLateReleasesAndResetMakesThemAtOnce) {
  SetProfile(R"({"late-release-ms": 60000})");
  Register();
  EXPECT_EQ(Unregister(), 0);
  EXPECT_EQ(handler_.refs(), 1);
  EXPECT_EQ(kelsimHandlerReferences(), 1u);
  EXPECT_EQ(kelsimWaitIdle(10), 0);
  // Applies to what comes next: a pending release keeps its time.
  SetProfile("{}");
  Register();
  EXPECT_EQ(Unregister(), 0);
  EXPECT_EQ(handler_.refs(), 1);
  const std::uint64_t lastReleases = kelsimLastReleasesOnLibraryThreads();
  kelsimReset();
  EXPECT_EQ(handler_.refs(), 0);
  EXPECT_EQ(kelsimHandlerReferences(), 0u);
  EXPECT_EQ(kelsimWaitIdle(0), 1);
  EXPECT_EQ(kelsimLastReleasesOnLibraryThreads(), lastReleases) << "released on this thread";
}

}  // namespace
}  // namespace kelmorrow_test
