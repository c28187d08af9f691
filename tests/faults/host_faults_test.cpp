#include <set>
#include <string>
#include <utility>

#include "kelsim.h"
#include "road.h"
#include "ztrtsim.h"

namespace road {
namespace {

const char kDescription[] = R"({"targets": {"": {"records": [
  {"status": 1, "modelCode": "0x7066", "resourceName": "Gamma"},
  {"status": 1, "modelCode": "0x7065", "resourceName": "Alpha"},
  {"status": 1, "modelCode": "0x7047", "resourceName": "Beta"}]}}})";

const Names kNames = {"Alpha", "Beta", "Gamma"};
constexpr std::int32_t kElements = 5;

using Attribute = std::pair<std::int32_t, std::string>;

// Attribute setter calls of one delivery of kNames, in call order.
const Attribute kStringAttrs[] = {{0, "n"}, {1, "n"}, {2, "n"}};
const Attribute kUI32Attrs[] = {{0, "f"}, {1, "f"}, {2, "f"}, {3, "g"}, {3, "id"}, {3, "f"}, {4, "id"}, {4, "f"}};

std::set<Attribute> AttributesOf(const void* list) {
  std::set<Attribute> found;
  const std::int32_t capacity = ztrtsimListCapacity(list);
  for (std::int32_t i = 0; i < capacity; ++i) {
    for (const std::string& name : test_support::ztrtsim::AttrNames(list, i)) found.emplace(i, name);
  }
  return found;
}

std::set<Attribute> AllAttributes() {
  std::set<Attribute> all(std::begin(kStringAttrs), std::end(kStringAttrs));
  all.insert(std::begin(kUI32Attrs), std::end(kUI32Attrs));
  return all;
}

class HostFaultTest : public RoadTest {
 protected:
  void SetUp() override {
    RoadTest::SetUp();
    if (HasFatalFailure()) return;
    Load(kDescription);
    PollFor(1, kNames);
  }

  // A forced refresh raises the version, so a list is written once it ends.
  static void MakeListDue() {
    hostbind::UHandle slot = nullptr;
    ASSERT_EQ(Call(1, &slot, 1), kPending);
    ASSERT_EQ(slot, nullptr);
  }

  static void ExpectFullListNext() {
    hostbind::UHandle slot = nullptr;
    ASSERT_EQ(CallUntilSettled(1, &slot), kWritten);
    EXPECT_EQ(DecodeList(slot), kNames);
    EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);
  }
};

// No array: the slot is overwritten with null, and the list is offered again.
TEST_F(HostFaultTest, FailedArrayLeavesNullAndIsRetried) {
  MakeListDue();
  ASSERT_EQ(ztrtsimFailCall(ZTRTSIM_FN_DS_NEW_H_CLR, 1, 0), ZTRTSIM_OK);
  const std::int64_t conversions = ztrtsimCallCount(ZTRTSIM_FN_LSTR_FROM_PTR);
  hostbind::UHandle slot = reinterpret_cast<hostbind::UHandle>(&slot);
  ASSERT_EQ(CallUntilDecided(1, &slot), kNoMemory);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
  EXPECT_EQ(ztrtsimCallCount(ZTRTSIM_FN_LSTR_FROM_PTR), conversions) << "no name is converted for a list that does not exist";
  ExpectFullListNext();
}

// Each string call of the delivery fails in turn: the slot keeps the array
// with its count still 0 and the names before the failing one, nothing else
// survives, and the next call writes the whole list.
TEST_F(HostFaultTest, EachFailedNameConversionLeavesAPartListAndIsRetried) {
  for (const int function : {ZTRTSIM_FN_LSTR_FROM_PTR, ZTRTSIM_FN_CONVERT_UTF8_TO_SYSTEM}) {
    for (std::int32_t nth = 1; nth <= 3; ++nth) {
      SCOPED_TRACE("function " + std::to_string(function) + ", call " + std::to_string(nth));
      MakeListDue();
      ASSERT_EQ(ztrtsimFailCall(function, static_cast<std::uint32_t>(nth), 0), ZTRTSIM_OK);
      hostbind::UHandle slot = nullptr;
      ASSERT_EQ(CallUntilDecided(1, &slot), kFailure);
      ztrtsimClearFailures();
      ASSERT_NE(slot, nullptr);
      EXPECT_EQ(ztrtsimListCount(slot), 0);
      EXPECT_EQ(ztrtsimListCapacity(slot), kElements);
      for (std::int32_t i = 0; i < kElements; ++i) {
        EXPECT_EQ(ztrtsimListElementAttrCount(slot, i), i + 1 < nth ? 2 : 0) << "element " << i;
        if (i + 1 < nth) {
          EXPECT_EQ(StringAttr(slot, i, "n"), kNames[static_cast<std::size_t>(i)]);
        }
      }
      EXPECT_EQ(ztrtsimLiveHandles(), 1) << "only the array may outlive the call";
      EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);
      EXPECT_EQ(ztrtsimLiveHandles(), 0);
      ExpectFullListNext();
    }
  }
}

// A failed setter is not looked at: the list is delivered without that one
// attribute and counts as delivered.
TEST_F(HostFaultTest, EachFailedSetterOnlyLosesItsAttribute) {
  const std::pair<int, const Attribute*> setters[] = {{ZTRTSIM_FN_SET_STRING_ATTR, kStringAttrs},
                                                      {ZTRTSIM_FN_SET_UI32_ATTR, kUI32Attrs}};
  const std::size_t calls[] = {std::size(kStringAttrs), std::size(kUI32Attrs)};
  for (std::size_t s = 0; s < 2; ++s) {
    for (std::size_t nth = 1; nth <= calls[s]; ++nth) {
      const Attribute& lost = setters[s].second[nth - 1];
      SCOPED_TRACE("element " + std::to_string(lost.first) + " attribute " + lost.second);
      MakeListDue();
      ASSERT_EQ(ztrtsimFailCall(setters[s].first, static_cast<std::uint32_t>(nth), 0), ZTRTSIM_OK);
      hostbind::UHandle slot = nullptr;
      ASSERT_EQ(CallUntilDecided(1, &slot), kWritten);
      ztrtsimClearFailures();
      EXPECT_EQ(ztrtsimListCount(slot), kElements);
      std::set<Attribute> expected = AllAttributes();
      expected.erase(lost);
      EXPECT_EQ(AttributesOf(slot), expected);
      EXPECT_EQ(ztrtsimLiveHandles(), 1);
      EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);

      slot = nullptr;
      EXPECT_EQ(CallUntilSettled(1, &slot), kUnchanged);
      EXPECT_EQ(slot, nullptr);
    }
  }
}

}  // namespace
}  // namespace road
