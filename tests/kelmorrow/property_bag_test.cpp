#include "test_support.h"

namespace kelmorrow_test {
namespace {

using morrowkit::kE_TypeMismatch;

class PropertyBagTest : public KelmorrowTest {};

// A read of another type than the one stored answers kE_TypeMismatch.
TEST_F(PropertyBagTest, ReadOfAnotherTypeIsATypeMismatch) {
  auto bag = Record(R"({"status": 1, "resourceName": "Dev1"})");
  std::int32_t flag = 0;
  std::int16_t small = 0;
  std::uint16_t word = 0;
  std::int64_t wide = 0;
  std::uint32_t unsignedValue = 0;
  double real = 0;
  BSTR text = nullptr;
  EXPECT_EQ(bag->GetBool(0x1024000, &flag), kE_TypeMismatch);
  EXPECT_EQ(bag->GetInt16(0x1024000, &small), kE_TypeMismatch);
  EXPECT_EQ(bag->GetUInt16(0x1024000, &word), kE_TypeMismatch);
  EXPECT_EQ(bag->GetInt64(0x1024000, &wide), kE_TypeMismatch);
  EXPECT_EQ(bag->GetUInt32(0x1024000, &unsignedValue), kE_TypeMismatch);
  EXPECT_EQ(bag->GetDouble(0x1024000, &real), kE_TypeMismatch);
  EXPECT_EQ(bag->GetString(0x1024000, &text), kE_TypeMismatch);
  EXPECT_EQ(text, nullptr);
  std::int32_t status = 5;
  EXPECT_EQ(bag->GetInt32(0x101F000, &status), kE_TypeMismatch);
  EXPECT_EQ(status, 0);
}

TEST_F(PropertyBagTest, AbsentPropertyIsReportedAndNotFound) {
  auto bag = Record(R"({"status": 1})");
  EXPECT_EQ(bag->HasProperty(0x1024000), platform::kS_OK);
  EXPECT_EQ(bag->HasProperty(0x1005000), platform::kS_FALSE);
  std::uint32_t value = 0;
  BSTR text = nullptr;
  EXPECT_EQ(bag->GetUInt32(0x1005000, &value), kE_ElementNotFound);
  EXPECT_EQ(bag->GetString(0x101F000, &text), kE_ElementNotFound);
  EXPECT_EQ(bag->GetType(0x1005000, &value), kE_ElementNotFound);
  EXPECT_EQ(bag->GetInt32(0x1024000, nullptr), platform::kE_POINTER);
}

TEST_F(PropertyBagTest, GetStringHandsOutANewBstrWithEmbeddedZeros) {
  auto bag = Record(R"({"resourceName": "a\u0000b"})");
  BSTR first = nullptr;
  BSTR second = nullptr;
  ASSERT_EQ(bag->GetString(0x101F000, &first), 0);
  ASSERT_EQ(bag->GetString(0x101F000, &second), 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(platform::SysStringLen(first), 3u);
  EXPECT_EQ(Take(first), Take(second));
}

// Faults a description can give a property.
TEST_F(PropertyBagTest, ReadFailureFailsEveryReadButNotPresence) {
  auto bag = Record(R"({"modelCode": {"value": 7, "readFailure": "0x80004005"}})");
  EXPECT_EQ(bag->HasProperty(0x1005000), platform::kS_OK);
  std::uint32_t model = 9;
  EXPECT_EQ(bag->GetUInt32(0x1005000, &model), platform::kE_FAIL);
  EXPECT_EQ(model, 0u);
  std::int32_t other = 0;
  EXPECT_EQ(bag->GetInt32(0x1005000, &other), platform::kE_FAIL);
}

TEST_F(PropertyBagTest, StringFalseAnswersNoString) {
  auto bag = Record(R"({"resourceName": {"stringFalse": true}})");
  EXPECT_EQ(bag->HasProperty(0x101F000), platform::kS_OK);
  BSTR text = nullptr;
  EXPECT_EQ(bag->GetString(0x101F000, &text), platform::kS_FALSE);
  EXPECT_EQ(text, nullptr);
}

TEST_F(PropertyBagTest, HasPropertyFailureIsAnswered) {
  auto bag = Record(R"({"hostName": {"value": "rt", "hasPropertyFailure": "0x8000FFFF"}})");
  EXPECT_EQ(bag->HasProperty(0x1025000), platform::kE_UNEXPECTED);
  BSTR text = nullptr;
  EXPECT_EQ(bag->GetString(0x1025000, &text), 0);
  EXPECT_EQ(Take(text), Wide(u"rt"));
}

TEST_F(PropertyBagTest, RefusedRecordAnswersOnlyIUnknown) {
  Load(R"({"targets": {"": {"records": [{"resourceName": "Hidden", "refusesPropertyBag": true}]}}})");
  ComPtr<morrowkit::IqvSysEnumUnknown> records;
  ASSERT_EQ(Framework()->FindHardware(Wide(u"").c_str(), records.Put()), 0);
  auto items = Items(records.Get());
  ASSERT_EQ(items.size(), 1u);
  void* bag = reinterpret_cast<void*>(1);
  EXPECT_EQ(items[0]->QueryInterface(morrowkit::kIID_IqvSysPropertyBag, &bag), platform::kE_NOINTERFACE);
  EXPECT_EQ(bag, nullptr);
  ComPtr<morrowkit::IUnknown> unknown;
  EXPECT_EQ(items[0]->QueryInterface(morrowkit::kIID_IUnknown, reinterpret_cast<void**>(unknown.Put())), 0);
  EXPECT_EQ(unknown.Get(), items[0].Get());
}

TEST_F(PropertyBagTest, SettersReplaceValueAndTypeForLaterQueries) {
  auto bag = Record(R"({"status": {"value": 0, "readFailure": "0x80004005"}})");
  EXPECT_EQ(bag->SetString(0x1024000, Wide(u"up").c_str()), 0);
  EXPECT_EQ(bag->SetDouble(0x1, 0.25), 0);
  EXPECT_EQ(bag->SetBool(0x2, 5), 0);
  EXPECT_EQ(bag->SetInt16(0x3, -2), 0);
  EXPECT_EQ(bag->SetUInt16(0x4, 2), 0);
  EXPECT_EQ(bag->SetInt64(0x5, -3), 0);
  EXPECT_EQ(bag->SetInt32(0x6, -4), 0);
  EXPECT_EQ(bag->SetUInt32(0x7, 4), 0);
  EXPECT_EQ(bag->SetString(0x8, nullptr), platform::kE_POINTER);

  auto again = Records().at(0);
  BSTR text = nullptr;
  EXPECT_EQ(again->GetString(0x1024000, &text), 0);
  EXPECT_EQ(Take(text), Wide(u"up"));
  std::int32_t flag = 0;
  EXPECT_EQ(again->GetBool(0x2, &flag), 0);
  EXPECT_EQ(flag, 1);
  std::uint32_t type = 0;
  EXPECT_EQ(again->GetType(0x5, &type), 0);
  EXPECT_EQ(type, morrowkit::kPropertyTypeInt64);
}

TEST_F(PropertyBagTest, CountTagsInOrderAndRemove) {
  auto bag = Record(R"({"status": 1, "modelCode": 2, "properties": {"0x10": {"type": "bool", "value": false}}})");
  std::uint32_t count = 0;
  EXPECT_EQ(bag->GetCount(&count), 0);
  EXPECT_EQ(count, 3u);
  std::uint32_t tag = 0;
  EXPECT_EQ(bag->GetTagAt(0, &tag), 0);
  EXPECT_EQ(tag, 0x10u);
  EXPECT_EQ(bag->GetTagAt(2, &tag), 0);
  EXPECT_EQ(tag, 0x1024000u);
  EXPECT_EQ(bag->GetTagAt(3, &tag), static_cast<HRESULT>(0x8000000Bu));
  EXPECT_EQ(bag->Remove(0x10), 0);
  EXPECT_EQ(bag->Remove(0x10), platform::kS_FALSE);
  EXPECT_EQ(bag->GetCount(&count), 0);
  EXPECT_EQ(count, 2u);
}

}  // namespace
}  // namespace kelmorrow_test
