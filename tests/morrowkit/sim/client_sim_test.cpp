#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "../support.h"
#include "sim_fixture.h"

namespace morrowkit::sim_test {
namespace {

using test::Catch;
using test::Location;
using test::Thrown;

constexpr char kClef[] = "Dev1 \xE2\x80\x93 \xCE\xA9 \xED\xA0\xB4\xED\xB4\x9E";  // a surrogate pair, unit by unit

std::vector<std::string> ResourceNames(const std::vector<PropertyBagHandle>& records) {
  std::vector<std::string> names;
  for (const PropertyBagHandle& record : records) names.push_back(record.GetString(kTagResourceName));
  return names;
}

// Connecting.
TEST_F(SimTest, ConnectFailureThrowsAtLine33) {
  Fail("kelsysInstantiateFramework2", static_cast<HRESULT>(0x80040154u));
  const Thrown thrown = Catch([] { Handle handle(true, true); });
  EXPECT_EQ(thrown.code, static_cast<HRESULT>(0x80040154u));
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 33));
}

// Hardware records: order kept, refused records skipped, nothing for null.
TEST_F(SimTest, FindHardwareListsTheTargetsRecords) {
  const std::vector<PropertyBagHandle> records = handle_->FindHardware("");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].GetString(kTagResourceName), "Rack1Slot2");
  EXPECT_EQ(records[2].GetString(kTagResourceName), kClef);
}

TEST_F(SimTest, FindHardwareConvertsTheTarget) {
  EXPECT_EQ(ResourceNames(handle_->FindHardware("rt-\xC3\xA9.lab")), std::vector<std::string>{"Remote1"});
}

TEST_F(SimTest, FindHardwareWithNullOrNoEnumeratorIsEmpty) {
  EXPECT_TRUE(handle_->FindHardware("void.lab").empty());
  EXPECT_TRUE(handle_->FindHardware("unknown.lab").empty());
}

TEST_F(SimTest, FindHardwareFailureThrowsAtLine216) {
  const Thrown thrown = Catch([&] { handle_->FindHardware("down.lab"); });
  EXPECT_EQ(thrown.code, static_cast<HRESULT>(0x800706BAu));
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 216));
}

TEST_F(SimTest, FailingNextFailsTheWholeWalk) {
  Fail("Next", platform::kE_FAIL, 2);
  const Thrown thrown = Catch([&] { handle_->FindHardware(""); });
  EXPECT_EQ(thrown.code, platform::kE_FAIL);
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 216));
}

// Property reads.
TEST_F(SimTest, TypedReads) {
  const PropertyBagHandle record = handle_->FindHardware("")[0];
  EXPECT_EQ(record.GetInt32(kTagStatus), 1);
  EXPECT_EQ(record.GetUInt32(kTagModelCode), 0x7066u);
  EXPECT_EQ(record.GetIndexedString(kTagSourceName, 0), "kelsyscfg");
  EXPECT_TRUE(record.HasProperty(kTagModelCode));
  EXPECT_FALSE(record.HasProperty(kTagHostName));
}

TEST_F(SimTest, ReadFailuresThrowAtLine305) {
  const PropertyBagHandle record = handle_->FindHardware("")[1];
  const Thrown mismatch = Catch([&] { record.GetInt32(kTagStatus); });
  EXPECT_EQ(mismatch.code, kE_TypeMismatch);
  EXPECT_EQ(mismatch.json, Location(kPropertyBagHandleFile, 305));
  EXPECT_EQ(Catch([&] { record.GetUInt32(kTagModelCode); }).code, platform::kE_FAIL);
  const Thrown indexed = Catch([&] { record.GetIndexedString(kTagSourceName, 1); });
  EXPECT_EQ(indexed.code, static_cast<HRESULT>(0x80070005u));
  EXPECT_EQ(indexed.json, Location(kPropertyBagHandleFile, 305));
}

TEST_F(SimTest, StringWithSFalseIsEmpty) {
  EXPECT_EQ(handle_->FindHardware("")[1].GetString(kTagResourceName), "");
}

TEST_F(SimTest, FailingHasPropertyReadsAsAbsent) {
  EXPECT_FALSE(handle_->FindHardware("")[1].HasProperty(kTagHostName));
}

TEST_F(SimTest, IndexLimitNeverReachesTheLibrary) {
  const PropertyBagHandle record = handle_->FindHardware("")[0];
  const std::uint64_t before = kelsimCallCount("GetString");
  const Thrown thrown = Catch<FailException>([&] { record.GetIndexedString(kTagSourceName, 4095); });
  EXPECT_EQ(thrown.json, Location(kPropertyBagHandleFile, 353));
  EXPECT_EQ(kelsimCallCount("GetString"), before);
  EXPECT_EQ(record.GetIndexedString(kTagSourceName, 4094), "last");
  EXPECT_EQ(kelsimCallCount("GetString"), before + 1);
}

TEST_F(SimTest, CopiedHandlesKeepReferencesBalanced) {
  const std::vector<PropertyBagHandle> records = handle_->FindHardware("");
  const std::uint64_t before = kelsimOutstandingReferences();
  {
    std::vector<PropertyBagHandle> copies(records);
    copies.push_back(records[0]);
    copies[1] = copies[0];
    EXPECT_GT(kelsimOutstandingReferences(), before);
  }
  EXPECT_EQ(kelsimOutstandingReferences(), before);
}

// Notifications through the library's own thread.
TEST_F(SimTest, ChangeReachesTheReceiver) {
  handle_->RegisterNotifications("", &receiver_);
  EXPECT_EQ(kelsimHasHandler(""), 1);
  Change("", R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Rack2Slot4"}]})");
  const std::vector<Notification> received = receiver_.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].kind, static_cast<std::uint32_t>(kChangeRecordsAdded));
  EXPECT_EQ(received[0].names, std::vector<std::string>{"Rack2Slot4"});
  EXPECT_EQ(kelsimLastHandlerResult(), platform::kS_OK);
  EXPECT_EQ(ResourceNames(handle_->FindHardware("")).back(), "Rack2Slot4");
}

TEST_F(SimTest, NameIsCutAtAZeroUnit) {
  handle_->RegisterNotifications("", &receiver_);
  Change("", R"({"add": [{"status": 1, "modelCode": "0x7066", "resourceName": "Rack\u0000tail"}]})");
  ASSERT_EQ(receiver_.Received().size(), 1u);
  EXPECT_EQ(receiver_.Received()[0].names, std::vector<std::string>{"Rack"});
}

TEST_F(SimTest, SecondRegistrationServesBothTargets) {
  handle_->RegisterNotifications("", &receiver_);
  handle_->RegisterNotifications("rt-\xC3\xA9.lab", &receiver_);
  Change("rt-\xC3\xA9.lab", R"({"remove": ["Remote1"]})");
  Change("", R"({"remove": ["Rack1Slot2"]})");
  const std::vector<Notification> received = receiver_.Received();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].names, std::vector<std::string>{"Remote1"});
  EXPECT_EQ(received[1].kind, static_cast<std::uint32_t>(kChangeRecordsRemoved));
}

TEST_F(SimTest, RegistrationFailureThrowsAtLine316) {
  Fail("SetNotificationHandler", platform::kE_OUTOFMEMORY);
  const Thrown thrown = Catch([&] { handle_->RegisterNotifications("", &receiver_); });
  EXPECT_EQ(thrown.code, platform::kE_OUTOFMEMORY);
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 316));
  EXPECT_EQ(kelsimHasHandler(""), 0);
}

TEST_F(SimTest, UnregisterRemovesTheHandler) {
  handle_->RegisterNotifications("", &receiver_);
  handle_->UnregisterNotifications("");
  EXPECT_EQ(kelsimHasHandler(""), 0);
  Change("", R"({"remove": ["Rack1Slot2"]})");
  EXPECT_TRUE(receiver_.Received().empty());
  EXPECT_EQ(kelsimDroppedNotifications(), 1u);
}

TEST_F(SimTest, UnregisterNeverThrows) {
  handle_->RegisterNotifications("", &receiver_);
  Fail("SetNotificationHandler", platform::kE_FAIL);
  EXPECT_NO_THROW(handle_->UnregisterNotifications(""));
  EXPECT_NO_THROW(handle_->UnregisterNotifications("\xFF"));
  kelsimClearFailures();
  handle_->UnregisterNotifications("");
}

// The notifier stays with the library after the handle is gone.
TEST_F(SimTest, NotifierOutlivesTheHandle) {
  handle_->RegisterNotifications("", &receiver_);
  handle_.reset();
  Change("", R"({"remove": ["Rack1Slot2"]})");
  EXPECT_EQ(receiver_.Received().size(), 1u);
}

// What the library hears back from the notifier.
TEST_F(SimTest, NullReceiverAnswersSFalse) {
  handle_->RegisterNotifications("", nullptr);
  Change("", R"({"remove": ["Rack1Slot2"]})");
  EXPECT_EQ(kelsimDeliveredNotifications(), 1u);
  EXPECT_EQ(kelsimLastHandlerResult(), platform::kS_FALSE);
}

TEST_F(SimTest, ReceiverFailuresBecomeHResults) {
  handle_->RegisterNotifications("", &receiver_);
  receiver_.FailWith([] { throw HResultException(platform::kE_FAIL, {kFrameworkHandleFile, 0, kComponent}); });
  Change("", R"({"remove": ["Rack1Slot2"]})");
  EXPECT_EQ(kelsimLastHandlerResult(), platform::kE_FAIL);
  receiver_.FailWith([] { throw InvalidArgException({kFrameworkHandleFile, 0, kComponent}); });
  Change("", R"({"remove": ["Dev1 \u2013 \u03a9 \ud834\udd1e"]})");
  EXPECT_EQ(kelsimLastHandlerResult(), platform::kE_INVALIDARG);
  receiver_.FailWith([] { throw std::logic_error("receiver broke"); });
  Change("", R"({"replace": []})");
  EXPECT_EQ(kelsimLastHandlerResult(), platform::kE_FAIL);
  EXPECT_EQ(receiver_.Received().size(), 3u);
}

}  // namespace
}  // namespace morrowkit::sim_test
