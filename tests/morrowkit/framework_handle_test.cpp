#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_enumerators.h"
#include "fakes/fake_property_bag.h"
#include "framework_fixture.h"
#include "support.h"

namespace morrowkit::test {
namespace {

struct Receiver : FrameworkNotificationHandler {
  void OnNotification(std::uint32_t, const std::vector<std::string>&) override { ++calls; }
  int calls = 0;
};

// Connecting: the flags, a failure at line 33, and one reference held.
TEST(FrameworkHandleConnectTest, PassesFlagsAndHoldsOneReference) {
  FakeFramework framework;
  entry_point = EntryPoint();
  entry_point.framework = &framework;
  {
    const FrameworkHandle<PropertyBagHandle> handle(false, true);
    EXPECT_EQ(entry_point.flag1, 0);
    EXPECT_EQ(entry_point.flag2, 1);
    EXPECT_EQ(framework.references, 1u);
  }
  EXPECT_EQ(framework.references, 0u);
  entry_point = EntryPoint();
}

TEST(FrameworkHandleConnectTest, FailureThrowsAtLine33) {
  entry_point = EntryPoint();
  entry_point.result = static_cast<HRESULT>(0x80040154u);
  const Thrown thrown = Catch([] { FrameworkHandle<PropertyBagHandle> handle(true, true); });
  EXPECT_EQ(thrown.code, static_cast<HRESULT>(0x80040154u));
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 33));
  entry_point = EntryPoint();
}

TEST(FrameworkHandleConnectTest, SuccessWithoutFrameworkIsUnexpected) {
  entry_point = EntryPoint();
  const Thrown thrown = Catch<UnexpectedException>([] { FrameworkHandle<PropertyBagHandle> handle(true, true); });
  EXPECT_EQ(thrown.code, platform::kE_UNEXPECTED);
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 33));
}

using FindHardwareTest = FrameworkFixture;

TEST_F(FindHardwareTest, PassesTheTargetInUtf16) {
  handle_->FindHardware("rt-\xC3\xA9");
  EXPECT_EQ(framework_.last_target, Wide(u"rt-\u00e9"));
}

TEST_F(FindHardwareTest, FailureThrowsAtLine216) {
  framework_.result = static_cast<HRESULT>(0x80070035u);
  const Thrown thrown = Catch([&] { handle_->FindHardware(""); });
  EXPECT_EQ(thrown.code, static_cast<HRESULT>(0x80070035u));
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 216));
}

TEST_F(FindHardwareTest, InvalidUtf8TargetNeverReachesTheLibrary) {
  EXPECT_ANY_THROW(handle_->FindHardware("\xC0\x80"));
  EXPECT_EQ(framework_.calls, 0);
}

// Enumerators that yield nothing: null (with S_OK or S_FALSE), empty, or failing at once.
TEST_F(FindHardwareTest, NullEnumeratorGivesNoRecords) {
  for (const HRESULT result : {platform::kS_OK, platform::kS_FALSE}) {
    framework_.result = result;
    EXPECT_TRUE(handle_->FindHardware("").empty()) << result;
  }
}

TEST_F(FindHardwareTest, EmptyEnumeratorGivesNoRecords) {
  FakeRecordEnum records({});
  framework_.out_records = &records;
  EXPECT_TRUE(handle_->FindHardware("").empty());
  EXPECT_EQ(records.references, 0u);
}

// A walk that ends on a failure would pass off part of the list as the whole.
TEST_F(FindHardwareTest, FailingNextThrowsAtLine216) {
  FakePropertyBag first;
  FakeRecordEnum records({&first});
  records.end_result = platform::kE_FAIL;
  framework_.out_records = &records;
  const Thrown thrown = Catch([&] { handle_->FindHardware(""); });
  EXPECT_EQ(thrown.code, platform::kE_FAIL);
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 216));
  EXPECT_EQ(first.references, 0u);
  EXPECT_EQ(records.references, 0u);
}

// Items that are no property bag are skipped; the rest keep their order.
TEST_F(FindHardwareTest, SkipsRefusedItemsAndKeepsOrder) {
  FakePropertyBag first, second;
  FakeItem refused;
  FakeRecordEnum records({&first, &refused, &second});
  framework_.out_records = &records;
  {
    const std::vector<PropertyBagHandle> found = handle_->FindHardware("");
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].Get(), &first);
    EXPECT_EQ(found[1].Get(), &second);
    EXPECT_EQ(records.next_calls, 4);
    EXPECT_EQ(first.references, 1u);
    EXPECT_EQ(refused.references, 0u);
  }
  EXPECT_EQ(first.references, 0u);
  EXPECT_EQ(second.references, 0u);
  EXPECT_EQ(records.references, 0u);
}

using RegisterNotificationsTest = FrameworkFixture;

TEST_F(RegisterNotificationsTest, PassesTargetNotifierAndReceiver) {
  Receiver receiver;
  handle_->RegisterNotifications("10.0.0.5", &receiver);
  EXPECT_EQ(framework_.last_target, Wide(u"10.0.0.5"));
  ASSERT_NE(framework_.last_handler, nullptr);
  EXPECT_EQ(framework_.last_context, static_cast<void*>(&receiver));
}

// The notifier reused for another target serves that target's changes too.
TEST_F(RegisterNotificationsTest, SecondRegistrationReusesTheNotifier) {
  Receiver receiver;
  handle_->RegisterNotifications("a", &receiver);
  IqvSysNotificationHandler* notifier = framework_.last_handler;
  handle_->RegisterNotifications("b", &receiver);
  EXPECT_EQ(framework_.last_handler, notifier);
  FakeStringEnum names({});
  EXPECT_EQ(notifier->OnConfigurationChanged(framework_.kept_context, kChangeRecordsRemoved, &names),
            platform::kS_OK);
  EXPECT_EQ(receiver.calls, 1);
}

TEST_F(RegisterNotificationsTest, FailureThrowsAtLine316) {
  Receiver receiver;
  framework_.result = platform::kE_INVALIDARG;
  const Thrown thrown = Catch([&] { handle_->RegisterNotifications("a", &receiver); });
  EXPECT_EQ(thrown.code, platform::kE_INVALIDARG);
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 316));
}

// The library's reference keeps the notifier alive after the handle is gone.
TEST_F(RegisterNotificationsTest, NotifierOutlivesTheHandle) {
  Receiver receiver;
  handle_->RegisterNotifications("a", &receiver);
  handle_.reset();
  FakeStringEnum names({});
  EXPECT_EQ(framework_.kept_handler->OnConfigurationChanged(framework_.kept_context, kChangeRecordsAdded, &names),
            platform::kS_OK);
  EXPECT_EQ(receiver.calls, 1);
}

using UnregisterNotificationsTest = FrameworkFixture;

TEST_F(UnregisterNotificationsTest, PassesNullNotifierAndContext) {
  Receiver receiver;
  handle_->RegisterNotifications("a", &receiver);
  handle_->UnregisterNotifications("a");
  EXPECT_EQ(framework_.last_target, Wide(u"a"));
  EXPECT_EQ(framework_.kept_handler.Get(), nullptr);
  EXPECT_EQ(framework_.last_context, nullptr);
}

// Never throws: neither for a library failure nor for a target it cannot convert.
TEST_F(UnregisterNotificationsTest, NeverThrows) {
  framework_.result = platform::kE_FAIL;
  EXPECT_NO_THROW(handle_->UnregisterNotifications("a"));
  EXPECT_NO_THROW(handle_->UnregisterNotifications("caf\xE9"));
}

}  // namespace
}  // namespace morrowkit::test
