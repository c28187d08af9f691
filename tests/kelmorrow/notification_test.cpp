#include <atomic>
#include <chrono>
#include <future>
#include <string>

#include "test_support.h"

namespace kelmorrow_test {
namespace {

class NotificationTest : public KelmorrowTest {
 protected:
  void SetUp() override {
    KelmorrowTest::SetUp();
    Load(R"({"targets": {"rt.lab": {"records": [{"resourceName": "A"}, {"resourceName": "B"}]}}})");
    framework_ = Framework();
  }
  void TearDown() override {
    framework_.Reset();
    KelmorrowTest::TearDown();
    EXPECT_EQ(handler_.refs(), 0);
  }

  void Register(const char16_t* target = u"rt.lab") {
    ASSERT_EQ(framework_->SetNotificationHandler(W(target).c_str(), &handler_, &context_), 0);
  }
  HRESULT Unregister(const char16_t* target = u"rt.lab") {
    return framework_->SetNotificationHandler(W(target).c_str(), nullptr, nullptr);
  }
  static void Change(const char* target, const char* change) {
    char error[512];
    ASSERT_EQ(kelsimApplyChange(target, change, "change.json", error, sizeof error), 0) << error;
  }

  ComPtr<morrowkit::IqvSysFramework> framework_;
  RecordingHandler handler_;
  int context_ = 0;
};

// Each kind of change reaches the handler on the library's thread.
TEST_F(NotificationTest, ChangesAreDeliveredWithKindAndNamesOnTheLibraryThread) {
  Register();
  EXPECT_EQ(handler_.refs(), 1);
  EXPECT_EQ(kelsimHasHandler("rt.lab"), 1);
  Change("rt.lab", R"({"add": [{"resourceName": "C"}, {"status": 1}]})");
  Change("rt.lab", R"({"remove": ["A", "C"]})");
  Change("rt.lab", R"({"replace": [{"resourceName": "D"}, {"resourceName": "B"}]})");
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  auto calls = handler_.calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].kind, morrowkit::kChangeRecordsAdded);
  EXPECT_EQ(calls[0].names, std::vector<WideString>{W(u"C")});
  EXPECT_EQ(calls[1].kind, morrowkit::kChangeRecordsRemoved);
  EXPECT_EQ(calls[1].names, (std::vector<WideString>{W(u"A"), W(u"C")}));
  EXPECT_EQ(calls[2].kind, morrowkit::kChangeRecordsReplaced);
  EXPECT_EQ(calls[2].names, (std::vector<WideString>{W(u"B"), W(u"D")}));
  for (const auto& call : calls) {
    EXPECT_EQ(call.context, &context_);
    EXPECT_NE(call.thread, std::this_thread::get_id());
  }
  EXPECT_EQ(kelsimDeliveredNotifications(), 3u);
  EXPECT_EQ(Records(u"rt.lab").size(), 2u);
  EXPECT_EQ(Unregister(), 0);
}

TEST_F(NotificationTest, ChangeOfATargetWithoutHandlerIsAppliedButDropped) {
  Register(u"other.lab");
  Change("rt.lab", R"({"add": [{"resourceName": "C"}]})");
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
  EXPECT_EQ(std::string(error), "<change>:1:1: expected exactly one of \"replace\", \"add\" or \"remove\" in a change");
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_TRUE(handler_.calls().empty());
  EXPECT_EQ(Records(u"rt.lab").size(), 2u);
  EXPECT_EQ(Unregister(), 0);
}

TEST_F(NotificationTest, RemovalReleasesTheHandler) {
  Register();
  Register();
  EXPECT_EQ(handler_.refs(), 1);
  EXPECT_EQ(Unregister(), 0);
  EXPECT_EQ(handler_.refs(), 0);
  EXPECT_EQ(kelsimHasHandler("rt.lab"), 0);
  EXPECT_EQ(Unregister(), platform::kS_FALSE);
  EXPECT_EQ(framework_->SetNotificationHandler(W(u"rt.lab").c_str(), nullptr, &context_), platform::kE_INVALIDARG);
}

TEST_F(NotificationTest, RemovalWaitsForARunningCallback) {
  Register();
  handler_.Hold();
  Change("rt.lab", R"({"add": [{"resourceName": "C"}]})");
  ASSERT_TRUE(handler_.Entered());
  auto removal = std::async(std::launch::async, [&] { return Unregister(); });
  EXPECT_EQ(removal.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  handler_.Open();
  EXPECT_EQ(removal.get(), 0);
  EXPECT_EQ(handler_.calls().size(), 1u);
  EXPECT_EQ(handler_.refs(), 0);
}

TEST_F(NotificationTest, HandlerMayRemoveItselfFromItsCallback) {
  Register();
  handler_.during = [&] { EXPECT_EQ(Unregister(), 0); };
  Change("rt.lab", R"({"add": [{"resourceName": "C"}]})");
  Change("rt.lab", R"({"add": [{"resourceName": "D"}]})");
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(handler_.calls().size(), 1u);
  EXPECT_EQ(kelsimHasHandler("rt.lab"), 0);
}

TEST_F(NotificationTest, ResetReleasesHandlersAndDropsTheQueue) {
  Register();
  handler_.Hold();
  Change("rt.lab", R"({"add": [{"resourceName": "C"}]})");
  Change("rt.lab", R"({"add": [{"resourceName": "D"}]})");
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
  EXPECT_EQ(framework_->RefreshTarget(W(u"rt.lab").c_str(), 10000), 0);
  auto calls = handler_.calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, morrowkit::kChangeRecordsReplaced);
  EXPECT_EQ(calls[0].names, (std::vector<WideString>{W(u"A"), W(u"B")}));

  handler_.Hold();
  EXPECT_EQ(framework_->RefreshTarget(W(u"rt.lab").c_str(), 50), static_cast<HRESULT>(0x800705B4u));
  handler_.Open();
  EXPECT_EQ(framework_->RefreshTarget(W(u"gone.lab").c_str(), 0), kE_ElementNotFound);
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  EXPECT_EQ(Unregister(), 0);
}

// Host threads, client workers and the delivery thread all at once.
TEST_F(NotificationTest, ReadersChangesAndRegistrationsRunConcurrently) {
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
  std::thread registrar([&] {
    while (!stop) {
      Register();
      Unregister();
    }
  });
  for (int i = 0; i < 200; ++i) {
    Change("rt.lab", i % 2 == 0 ? R"({"add": [{"resourceName": "C"}]})" : R"({"remove": ["C"]})");
  }
  ASSERT_EQ(kelsimWaitIdle(10000), 1);
  stop = true;
  for (auto& reader : readers) reader.join();
  registrar.join();
  EXPECT_EQ(handler_.calls().size(), kelsimDeliveredNotifications());
  EXPECT_EQ(kelsimDeliveredNotifications() + kelsimDroppedNotifications(), 200u);
  EXPECT_EQ(handler_.refs(), 0);
}

}  // namespace
}  // namespace kelmorrow_test
