#include <string>

#include "kelsim.h"
#include "road.h"
#include "ztrtsim.h"

namespace road {
namespace {

using namespace std::string_literals;

class TextTest : public RoadTest {
 protected:
  // Calls past a first refresh still under way: its answers are pending, the
  // new cache's empty list, and then unchanged until the refresh ends.
  static std::int32_t CallPastFirstRefresh(std::uint32_t ref, hostbind::UHandle* slot) {
    std::int32_t result = kPending;
    EXPECT_TRUE(WaitFor([&] {
      *slot = nullptr;
      result = Call(ref, slot);
      if (result == kWritten && ztrtsimListCount(*slot) == 2) {
        ztrtsimDisposeNameList(*slot);
        return false;
      }
      return result != kPending && result != kUnchanged;
    }));
    return result;
  }
};

// The host string carries a length, so zero bytes travel inside names; and a
// literal never matches a value that merely begins with it.
TEST_F(TextTest, ZeroUnitsStayInsideNamesAndSpoilMatches) {
  Load(R"({"targets": {"": {"records": [
    {"status": 1, "modelCode": "0x7066", "resourceName": "AB"},
    {"status": 1, "modelCode": "0x7066", "resourceName": "A\u0000B"},
    {"status": 1, "modelCode": "0x7066", "resourceName": "\u0000"},
    {"status": 1, "modelCode": "0x7066", "resourceName": "A"},
    {"status": 1, "operatingSystem": "KEL-Linux x64\u0000", "sourceNames": ["network"], "hostName": "os"},
    {"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["network\u0000"], "hostName": "src"},
    {"status": 1, "modelCode": "0x78C7", "sourceNames": ["kelsyscfg\u0000", "network"], "sourceResourceName": "system",
     "hostName": "not-local"},
    {"status": 1, "modelCode": "0x78C7", "sourceNames": ["kelsyscfg"], "sourceResourceName": "system\u0000"},
    {"status": 1, "modelCode": "0x78C7", "sourceNames": ["network"], "hostName": "h\u0000st"}]}}})");
  PollFor(1, Names{"\0"s, "A", "A\0B"s, "AB", "sync://h\0st/system"s, "sync://not-local/system"});
}

// Each half of a surrogate pair becomes a three-byte sequence of its own,
// which no host encoding takes: every call fails with the names before it
// written, until the records change.
TEST_F(TextTest, CharacterBeyondTheBasicPlaneFailsEveryDelivery) {
  Load(R"({"targets": {"": {"records": [
    {"status": 1, "modelCode": "0x7066", "resourceName": "Alpha"},
    {"status": 1, "modelCode": "0x7066", "resourceName": "Clef \ud834\udd1e"},
    {"status": 1, "modelCode": "0x7066", "resourceName": "Zulu"}]}}})");
  for (const int encoding : {ZTRTSIM_ENCODING_UTF8, ZTRTSIM_ENCODING_WINDOWS_1252}) {
    SCOPED_TRACE(encoding);
    ASSERT_EQ(ztrtsimSetEncoding(encoding), ZTRTSIM_OK);
    for (int attempt = 0; attempt < 3; ++attempt) {
      hostbind::UHandle slot = nullptr;
      ASSERT_EQ(CallPastFirstRefresh(1, &slot), kFailure);
      ASSERT_NE(slot, nullptr);
      EXPECT_EQ(ztrtsimListCount(slot), 0);
      EXPECT_EQ(StringAttr(slot, 0, "n"), "Alpha");
      EXPECT_EQ(ztrtsimListElementAttrCount(slot, 1), 0);
      EXPECT_EQ(ztrtsimLiveHandles(), 1);
      EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);
    }
  }
  ApplyChange("", R"({"remove": ["Clef \ud834\udd1e"]})");
  hostbind::UHandle slot = nullptr;
  ASSERT_TRUE(WaitFor([&] {
    if (slot != nullptr) ztrtsimDisposeNameList(slot);
    slot = nullptr;
    return Call(1, &slot) == kWritten;
  }));
  EXPECT_EQ(DecodeList(slot), (Names{"Alpha", "Zulu"}));
  ztrtsimDisposeNameList(slot);
}

// Host names are pasted in as they are.
TEST_F(TextTest, HostNamesAreNeitherCheckedNorEscaped) {
  Load(R"({"targets": {"": {"records": [
    {"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["network"], "hostName": "a/b"},
    {"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["network"], "hostName": "user@host:8080"},
    {"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["network"], "hostName": " spaced host "},
    {"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["network"], "hostName": ""},
    {"status": 1, "operatingSystem": "Linux-ARMv7-A", "sourceNames": ["network"]}]}}})");
  PollFor(1, Names{"sync:// spaced host /system", "sync:///system", "sync://a/b/system",
                   "sync://user@host:8080/system"});
}

// Target URLs are map keys and library names byte for byte; the empty URL
// and a null URL handle are one target.
TEST_F(TextTest, OddTargetUrlsAreTargetsLikeAnyOther) {
  Load(R"({"targets": {
    "": {"records": [{"status": 1, "modelCode": "0x7066", "resourceName": "Local"}]},
    "rt/a@b c": {"records": [{"status": 1, "modelCode": "0x7066", "resourceName": "Odd"}]},
    " ": {"records": [{"status": 1, "modelCode": "0x7066", "resourceName": "Blank"}]}}})");
  SetUrl(2, "rt/a@b c");
  SetUrl(3, "");
  SetUrl(4, " ");
  PollFor(1, Names{"Local"});
  PollFor(2, Names{"Odd"});
  PollFor(4, Names{"Blank"});
  hostbind::UHandle slot = nullptr;
  EXPECT_EQ(Call(3, &slot), kUnchanged);
}

// A URL that is no UTF-8 cannot be given to the library: every refresh of
// its cache fails before asking, so the host gets the empty list once the
// first has failed, and "unchanged" while the retries back off, while the
// other targets go on being served.
TEST_F(TextTest, UrlThatIsNoUtf8GetsAnEmptyListWithoutHarm) {
  Load(R"({"targets": {"": {"records": [{"status": 1, "modelCode": "0x7066", "resourceName": "Local"}]}}})");
  SetUrl(2, "Z\xFCrich");
  hostbind::UHandle slot = nullptr;
  EXPECT_EQ(CallUntilSettled(2, &slot), kWritten);
  EXPECT_EQ(DecodeList(slot), Names{});
  ztrtsimDisposeNameList(slot);
  slot = nullptr;
  EXPECT_EQ(Call(2, &slot), kUnchanged);
  EXPECT_EQ(kelsimCallCount("FindHardware"), 0u);
  EXPECT_EQ(kelsimCallCount("SetNotificationHandler"), 0u);
  PollFor(1, Names{"Local"});
}

}  // namespace
}  // namespace road
