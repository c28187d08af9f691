#include <gtest/gtest.h>

#include <vector>

#include "fakes/fake_property_bag.h"
#include "morrowkit/propbag/property_bag_handle.h"
#include "support.h"

namespace morrowkit::test {
namespace {

constexpr HRESULT kAccessDenied = static_cast<HRESULT>(0x80070005u);

class PropertyBagHandleTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(bag_.references, 0u) << "unbalanced references"; }

  FakePropertyBag bag_;
};

TEST_F(PropertyBagHandleTest, NullBagThrowsUnexpected) {
  const Thrown thrown = Catch<UnexpectedException>([] { PropertyBagHandle handle(nullptr); });
  EXPECT_EQ(thrown.code, platform::kE_UNEXPECTED);
  EXPECT_EQ(thrown.json, Location(kPropertyBagHandleFile, 39));
}

TEST_F(PropertyBagHandleTest, CopiesHoldAReferenceEach) {
  {
    const PropertyBagHandle handle(&bag_);
    EXPECT_EQ(bag_.references, 1u);
    std::vector<PropertyBagHandle> copies(3, handle);
    EXPECT_EQ(bag_.references, 4u);
    PropertyBagHandle assigned(&bag_);
    assigned = copies[0];
    EXPECT_EQ(bag_.references, 5u);
  }
  EXPECT_EQ(bag_.references, 0u);
}

// Only S_OK means present; S_FALSE and failures read as absent.
TEST_F(PropertyBagHandleTest, HasProperty) {
  const PropertyBagHandle handle(&bag_);
  EXPECT_TRUE(handle.HasProperty(0x1000));
  EXPECT_EQ(bag_.last_tag, 0x1000u);
  bag_.has_result = platform::kS_FALSE;
  EXPECT_FALSE(handle.HasProperty(0x1000));
  bag_.has_result = kAccessDenied;
  EXPECT_FALSE(handle.HasProperty(0x1000));
}

// Typed reads: the value, S_FALSE as no failure, a failure at line 305.
TEST_F(PropertyBagHandleTest, IntegerReads) {
  const PropertyBagHandle handle(&bag_);
  bag_.number = 0xFFFFFFFEu;
  EXPECT_EQ(handle.GetInt32(0x2000), -2);
  EXPECT_EQ(bag_.last_tag, 0x2000u);
  EXPECT_EQ(handle.GetUInt32(0x3000), 0xFFFFFFFEu);
  EXPECT_EQ(bag_.last_tag, 0x3000u);
  bag_.read_result = platform::kS_FALSE;
  EXPECT_EQ(handle.GetUInt32(0x3000), 0xFFFFFFFEu);
}

TEST_F(PropertyBagHandleTest, IntegerReadFailures) {
  const PropertyBagHandle handle(&bag_);
  bag_.read_result = kE_TypeMismatch;
  for (const Thrown& thrown : {Catch([&] { handle.GetInt32(0x2000); }), Catch([&] { handle.GetUInt32(0x2000); })}) {
    EXPECT_EQ(thrown.code, kE_TypeMismatch);
    EXPECT_EQ(thrown.json, Location(kPropertyBagHandleFile, 305));
  }
}

// String reads convert the whole BSTR, a surrogate pair unit by unit, and
// always free it (the leak checker watches).
TEST_F(PropertyBagHandleTest, StringReadConvertsToUtf8) {
  const PropertyBagHandle handle(&bag_);
  bag_.text = Wide(u"Rack-\u00e9\u20ac \U0001D11E");
  EXPECT_EQ(handle.GetString(0x4000), "Rack-\xC3\xA9\xE2\x82\xAC \xED\xA0\xB4\xED\xB4\x9E");
  EXPECT_EQ(bag_.last_tag, 0x4000u);
}

TEST_F(PropertyBagHandleTest, StringReadWithSFalseIsEmpty) {
  const PropertyBagHandle handle(&bag_);
  bag_.text = Wide(u"ignored");
  bag_.read_result = platform::kS_FALSE;
  EXPECT_EQ(handle.GetString(0x4000), "");
}

TEST_F(PropertyBagHandleTest, StringReadFailureThrowsAt305) {
  const PropertyBagHandle handle(&bag_);
  bag_.text = Wide(u"ignored");
  bag_.read_result = kAccessDenied;
  for (const Thrown& thrown :
       {Catch([&] { handle.GetString(0x4000); }), Catch([&] { handle.GetIndexedString(0x5000, 1); })}) {
    EXPECT_EQ(thrown.code, kAccessDenied);
    EXPECT_EQ(thrown.json, Location(kPropertyBagHandleFile, 305));
  }
}

// Index limit: 4094 is the last index read, 4095 never reaches the library.
TEST_F(PropertyBagHandleTest, IndexedStringReadsBasePlusIndex) {
  const PropertyBagHandle handle(&bag_);
  bag_.text = Wide(u"port");
  EXPECT_EQ(handle.GetIndexedString(0x5000, 4094), "port");
  EXPECT_EQ(bag_.last_tag, 0x5000u + 4094u);
}

TEST_F(PropertyBagHandleTest, IndexedStringLimitIs4095) {
  const PropertyBagHandle handle(&bag_);
  for (std::uint32_t index : {4095u, 4096u, 0xFFFFFFFFu}) {
    const Thrown thrown = Catch<FailException>([&] { handle.GetIndexedString(0x5000, index); });
    EXPECT_EQ(thrown.code, platform::kE_FAIL);
    EXPECT_EQ(thrown.json, Location(kPropertyBagHandleFile, 353));
  }
  EXPECT_EQ(bag_.calls, 0);
}

}  // namespace
}  // namespace morrowkit::test
