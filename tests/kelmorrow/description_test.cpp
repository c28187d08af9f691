#include <string>

#include "test_support.h"
#include "text_file.h"

namespace kelmorrow_test {
namespace {

using morrowkit::IqvSysPropertyBag;

class DescriptionTest : public KelmorrowTest {
 protected:
  static std::uint32_t TypeOf(IqvSysPropertyBag* bag, std::uint32_t tag) {
    std::uint32_t type = 0;
    EXPECT_EQ(bag->GetType(tag, &type), 0) << std::hex << tag;
    return type;
  }
  static WideString StringOf(IqvSysPropertyBag* bag, std::uint32_t tag) {
    BSTR text = nullptr;
    EXPECT_EQ(bag->GetString(tag, &text), 0) << std::hex << tag;
    return Take(text);
  }
  static std::string Export() {
    std::int32_t complete = 0;
    BSTR text = nullptr;
    BSTR detail = nullptr;
    ComPtr<morrowkit::IqvSysFramework2> framework;
    EXPECT_EQ(Framework()->QueryInterface(morrowkit::kIID_IqvSysFramework2, reinterpret_cast<void**>(framework.Put())),
              0);
    EXPECT_EQ(framework->ExportConfiguration(&complete, &text, &detail), 0);
    EXPECT_EQ(complete, 1);
    return Utf8(Take(text));
  }
};

TEST_F(DescriptionTest, FriendlyKeysSetTheirTagsWithTheirTypes) {
  auto bag = Record(R"({"status": 1, "modelCode": "0x7066", "resourceName": "Dev1", "operatingSystem": "KEL-Linux x64",
                        "sourceResourceName": "system", "hostName": "rt", "sourceCount": 0})");
  EXPECT_EQ(TypeOf(bag.Get(), 0x1024000), morrowkit::kPropertyTypeInt32);
  EXPECT_EQ(TypeOf(bag.Get(), 0x1005000), morrowkit::kPropertyTypeUInt32);
  EXPECT_EQ(TypeOf(bag.Get(), 0x101C000), morrowkit::kPropertyTypeInt32);
  std::uint32_t model = 0;
  EXPECT_EQ(bag->GetUInt32(0x1005000, &model), 0);
  EXPECT_EQ(model, 0x7066u);
  EXPECT_EQ(StringOf(bag.Get(), 0x101F000), Wide(u"Dev1"));
  EXPECT_EQ(StringOf(bag.Get(), 0x104E000), Wide(u"KEL-Linux x64"));
  EXPECT_EQ(StringOf(bag.Get(), 0x101D000), Wide(u"system"));
  EXPECT_EQ(StringOf(bag.Get(), 0x1025000), Wide(u"rt"));
}

// The list of source names fills the indexed tags and, unless given, the count.
TEST_F(DescriptionTest, SourceNamesFillIndexedTagsAndCount) {
  auto bag = Record(R"({"sourceNames": ["kelsyscfg", "network"]})");
  EXPECT_EQ(StringOf(bag.Get(), 0x101E000), Wide(u"kelsyscfg"));
  EXPECT_EQ(StringOf(bag.Get(), 0x101E001), Wide(u"network"));
  std::int32_t count = 0;
  EXPECT_EQ(bag->GetInt32(0x101C000, &count), 0);
  EXPECT_EQ(count, 2);

  bag = Record(R"({"sourceCount": 7, "sourceNames": ["network"]})");
  EXPECT_EQ(bag->GetInt32(0x101C000, &count), 0);
  EXPECT_EQ(count, 7);
}

TEST_F(DescriptionTest, RawPropertiesTakeEveryType) {
  auto bag = Record(R"({"properties": {
      "0x1": {"type": "bool", "value": true}, "0x2": {"type": "int16", "value": -12},
      "0x3": {"type": "uint16", "value": "0xFFFF"}, "0x4": {"type": "int64", "value": -9007199254740993},
      "0x5": {"type": "double", "value": 2.5e-3}, "0x6": {"type": "string", "value": "s"},
      "0x7": {"type": "uint32", "value": 4294967295}, "0x8": {"type": "int32", "value": "0xFFFFFFFF"},
      "0xabcDEF00": {"type": "int16", "value": "0x8000"}}})");
  std::int32_t flag = 0;
  std::int16_t small = 0;
  std::uint16_t word = 0;
  std::int64_t wide = 0;
  double real = 0;
  std::uint32_t unsignedValue = 0;
  std::int32_t signedValue = 0;
  EXPECT_EQ(bag->GetBool(0x1, &flag), 0);
  EXPECT_EQ(flag, 1);
  EXPECT_EQ(bag->GetInt16(0x2, &small), 0);
  EXPECT_EQ(small, -12);
  EXPECT_EQ(bag->GetUInt16(0x3, &word), 0);
  EXPECT_EQ(word, 0xFFFF);
  EXPECT_EQ(bag->GetInt64(0x4, &wide), 0);
  EXPECT_EQ(wide, -9007199254740993LL);
  EXPECT_EQ(bag->GetDouble(0x5, &real), 0);
  EXPECT_DOUBLE_EQ(real, 2.5e-3);
  EXPECT_EQ(StringOf(bag.Get(), 0x6), Wide(u"s"));
  EXPECT_EQ(bag->GetUInt32(0x7, &unsignedValue), 0);
  EXPECT_EQ(unsignedValue, 4294967295u);
  // Hexadecimal gives the bit pattern of the type.
  EXPECT_EQ(bag->GetInt32(0x8, &signedValue), 0);
  EXPECT_EQ(signedValue, -1);
  EXPECT_EQ(bag->GetInt16(0xABCDEF00, &small), 0);
  EXPECT_EQ(small, -32768);
}

// Hostile descriptions may store friendly properties with another type.
TEST_F(DescriptionTest, FriendlyKeyTakesAnExplicitType) {
  auto bag = Record(R"({"status": {"type": "string", "value": "1"}, "modelCode": {"type": "int32", "value": -1}})");
  EXPECT_EQ(TypeOf(bag.Get(), 0x1024000), morrowkit::kPropertyTypeString);
  std::int32_t status = 0;
  EXPECT_EQ(bag->GetInt32(0x1024000, &status), morrowkit::kE_TypeMismatch);
  EXPECT_EQ(StringOf(bag.Get(), 0x1024000), Wide(u"1"));
  std::uint32_t model = 0;
  EXPECT_EQ(bag->GetUInt32(0x1005000, &model), morrowkit::kE_TypeMismatch);
}

TEST_F(DescriptionTest, StringsBecomeFullUtf16) {
  auto bag = Record(R"({"resourceName": "\u00e9\u20ac\ud834\udd1e a\u0000b"})");
  EXPECT_EQ(StringOf(bag.Get(), 0x101F000), Wide(u"\u00e9\u20ac\U0001D11E a") + platform::WideChar(0) + Wide(u"b"));
}

// Rejections name the file, the line and column, and what was expected.
TEST_F(DescriptionTest, RejectsSyntaxErrors) {
  EXPECT_EQ(Rejection("{\n  \"targets\": {\n    \"\": {\"records\": [}\n"),
            "hw.json:3:22: expected a JSON value, found '}'");
  EXPECT_EQ(Rejection("", "empty.json"), "empty.json:1:1: expected a JSON value, found the end of the input");
}

TEST_F(DescriptionTest, RejectsUnknownKeys) {
  EXPECT_EQ(Rejection(R"({"targets": {"": {"records": [{"statsu": 1}]}}})"),
            "hw.json:1:32: unknown key \"statsu\" in a record (expected one of: status, modelCode, resourceName, "
            "operatingSystem, sourceNames, sourceCount, sourceResourceName, hostName, properties, "
            "refusesPropertyBag)");
  EXPECT_EQ(Rejection(R"({"target": {}})"),
            "hw.json:1:2: unknown key \"target\" in the hardware description (expected one of: targets, settings, "
            "license, profile)");
  EXPECT_EQ(Rejection(R"({"targets": {"": {"record": []}}})").substr(0, 40), "hw.json:1:19: unknown key \"record\" in a ");
  EXPECT_EQ(Rejection(R"({"settings": {"status": {"value": 1, "vlaue": 2}}})").substr(0, 51),
            "hw.json:1:38: unknown key \"vlaue\" in a property (ex");
}

TEST_F(DescriptionTest, RejectsValuesOfTheWrongType) {
  EXPECT_EQ(Rejection("{\"targets\": {\"\": {\"records\": [\n  {\"status\": 1,\n   \"resourceName\": 12}]}}}"),
            "hw.json:3:20: expected a string for \"resourceName\"");
  EXPECT_EQ(Rejection(R"({"settings": {"status": "1"}})"),
            "hw.json:1:25: expected an int32 for \"status\": a string must hold a hexadecimal number such as \"0x1F\", "
            "not \"1\"");
  EXPECT_EQ(Rejection(R"({"settings": {"status": 1.5}})"),
            "hw.json:1:25: expected an int32 for \"status\", found the number 1.5, which is not whole");
  EXPECT_EQ(Rejection(R"({"settings": {"refusesPropertyBag": 1}})"),
            "hw.json:1:37: expected true or false for \"refusesPropertyBag\"");
  EXPECT_EQ(Rejection(R"({"targets": []})"), "hw.json:1:13: expected an object for \"targets\"");
  EXPECT_EQ(Rejection(R"({"settings": {"properties": {"0x1": {"type": "float", "value": 1}}}})"),
            "hw.json:1:46: unknown type \"float\" for \"0x1\" (expected bool, int16, uint16, int32, uint32, int64, "
            "double or string)");
}

TEST_F(DescriptionTest, RejectsBadHexadecimal) {
  EXPECT_EQ(Rejection(R"({"settings": {"modelCode": "0x12G4"}})"),
            "hw.json:1:28: expected a uint32 for \"modelCode\": a string must hold a hexadecimal number such as "
            "\"0x1F\", not \"0x12G4\"");
  EXPECT_EQ(Rejection(R"({"settings": {"modelCode": "0x1FFFFFFFF"}})"),
            "hw.json:1:28: hexadecimal number \"0x1FFFFFFFF\" is too wide for uint32 \"modelCode\" (at most 8 digits)");
  EXPECT_EQ(Rejection(R"({"settings": {"properties": {"0xZZ": {"type": "bool", "value": true}}}})"),
            "hw.json:1:30: expected a hexadecimal property tag such as \"0x1234000\" as the key, found \"0xZZ\"");
  EXPECT_EQ(Rejection(R"({"settings": {"properties": {"0x100000000": {"type": "bool", "value": true}}}})"),
            "hw.json:1:30: property tag \"0x100000000\" is wider than 32 bits");
}

TEST_F(DescriptionTest, RejectsNumbersOutOfRange) {
  EXPECT_EQ(Rejection(R"({"settings": {"properties": {"0x1": {"type": "int16", "value": 40000}}}})"),
            "hw.json:1:64: value 40000 is out of range for int16 \"0x1\" (-32768 to 32767)");
  EXPECT_EQ(Rejection(R"({"settings": {"modelCode": -1}})"),
            "hw.json:1:28: value -1 is out of range for uint32 \"modelCode\" (0 to 4294967295)");
  EXPECT_EQ(Rejection(R"({"settings": {"properties": {"0x1": {"type": "int64", "value": 9223372036854775808}}}})"),
            "hw.json:1:64: value 9223372036854775808 is out of range for int64 \"0x1\" (-9223372036854775808 to "
            "9223372036854775807)");
}

TEST_F(DescriptionTest, RejectsInconsistentProperties) {
  EXPECT_EQ(Rejection("{\"settings\": {\"status\": 1,\n  \"properties\": {\"0x1024000\": {\"type\": \"int32\", \"value\": 2}}}}"),
            "hw.json:2:18: property 0x1024000 is already given by \"status\" at 1:15");
  EXPECT_EQ(Rejection(R"({"settings": {"properties": {"0x1": {"value": 2}}}})"),
            "hw.json:1:37: expected \"type\" in the property \"0x1\"");
  EXPECT_EQ(Rejection(R"({"settings": {"properties": {"0x1": 2}}})"),
            "hw.json:1:37: expected an object with \"type\" and \"value\" for the property \"0x1\"");
  EXPECT_EQ(Rejection(R"({"settings": {"status": {"type": "int32"}}})"),
            "hw.json:1:25: expected \"value\" in the property \"status\" (only a property with \"readFailure\" or "
            "\"stringFalse\" may go without)");
  EXPECT_EQ(Rejection(R"({"settings": {"status": {"stringFalse": true}}})"),
            "hw.json:1:26: \"stringFalse\" needs a property of type string, but \"status\" is int32");
  EXPECT_EQ(Rejection(R"({"settings": {"status": {"readFailure": "0x1"}}})"),
            "hw.json:1:41: expected a failure HRESULT (negative, such as \"0x80004005\") for \"readFailure\"");
  EXPECT_EQ(Rejection(R"({"targets": {"x": {"findHardwareFailure": "0x80004005", "findHardwareNull": true}}})"),
            "hw.json:1:57: \"findHardwareFailure\" and \"findHardwareNull\" cannot both be given for a target");
}

TEST_F(DescriptionTest, RejectedLoadKeepsTheOldRecords) {
  Load(R"({"targets": {"": {"records": [{"resourceName": "Old"}]}}})");
  Rejection(R"({"targets": {"": {"records": [{"resourceName": "New"}, {"status": "x"}]}}})");
  auto records = Records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(StringOf(records[0].Get(), 0x101F000), Wide(u"Old"));
}

TEST_F(DescriptionTest, LoadsTheFullSample) {
  char error[512];
  ASSERT_EQ(kelsimLoadFile(KELMORROW_SAMPLES "/hardware-full.json", error, sizeof error), 0) << error;
  EXPECT_EQ(Records().size(), 3u);
  // One record of the remote target refuses the property-bag interface.
  EXPECT_EQ(Records(u"rt-b.lab").size(), 4u);
  EXPECT_EQ(StringOf(Records(u"rt-b.lab")[0].Get(), 0x101F000), Wide(u"Dev1 \u2013 \u03A9 \U0001D11E"));
}

TEST_F(DescriptionTest, ReportsAFileThatCannotBeOpened) {
  char error[512];
  EXPECT_EQ(kelsimLoadFile(KELMORROW_SAMPLES "/no-such-file.json", error, sizeof error), -1);
  EXPECT_EQ(std::string(error), KELMORROW_SAMPLES "/no-such-file.json: cannot be opened");
}

TEST_F(DescriptionTest, ExportLoadsBackIntoTheSameModel) {
  char error[512];
  ASSERT_EQ(kelsimLoadFile(KELMORROW_SAMPLES "/hardware-full.json", error, sizeof error), 0) << error;
  std::string first = Export();
  Load(first);
  EXPECT_EQ(Export(), first);
}

// A profile, alone, as a change of the one in force or in a description,
// is checked whole: a rejected one changes nothing.
TEST_F(DescriptionTest, RejectsBadProfilesAndKeepsTheOneInForce) {
  SetProfile(R"({"frameworks": "shared"})");
  struct Case {
    const char* json;
    const char* message;
  };
  const Case cases[] = {
      {R"({"delivery": "sideways"})",
       "<profile>:1:14: unknown value \"sideways\" for \"delivery\" (expected library-thread or inline)"},
      {R"({"frameworks": "shared", "removal": 1})", "<profile>:1:37: expected a string for \"removal\""},
      {R"({"late-release-ms": -5})",
       "<profile>:1:21: value -5 is out of range for uint32 \"late-release-ms\" (0 to 4294967295)"},
      {R"({"frameworks": "new", "notifications": "sometimes"})",
       "<profile>:1:40: unknown value \"sometimes\" for \"notifications\" (expected supported or unsupported)"},
      {R"({"registration": "per-target"})",
       "<profile>:1:2: unknown key \"registration\" in the profile (expected one of: registrations, removal, "
       "delivery, frameworks, late-release-ms, notifications)"},
      {"[]", "<profile>:1:1: expected an object for the profile"},
  };
  for (auto set : {&kelsimSetProfile, &kelsimChangeProfile}) {
    for (const Case& rejected : cases) {
      char error[512] = "";
      EXPECT_EQ(set(rejected.json, error, sizeof error), -1) << rejected.json;
      EXPECT_EQ(std::string(error), rejected.message);
    }
  }
  EXPECT_EQ(
      Rejection("{\"targets\": {\"\": {\"records\": [{\"status\": 1}]}},\n \"profile\": {\"registrations\": "
                "\"per-device\"}}"),
      "hw.json:2:31: unknown value \"per-device\" for \"registrations\" (expected per-target or "
      "per-framework)");
  EXPECT_TRUE(Records().empty());
  auto framework = Framework();
  EXPECT_EQ(Framework().Get(), framework.Get());
}

// A change of the profile sets the members it names and keeps the others;
// a profile set whole takes the defaults for the members left out.
TEST_F(DescriptionTest, AChangedProfileKeepsTheMembersItLeavesOut) {
  SetProfile(R"({"frameworks": "shared"})");
  char error[512];
  ASSERT_EQ(kelsimChangeProfile(R"({"delivery": "inline"})", error, sizeof error), 0) << error;
  auto framework = Framework();
  EXPECT_EQ(Framework().Get(), framework.Get());
  ASSERT_EQ(kelsimChangeProfile(R"({"frameworks": "new"})", error, sizeof error), 0) << error;
  EXPECT_NE(Framework().Get(), framework.Get());
  ASSERT_EQ(kelsimChangeProfile(R"({"frameworks": "shared"})", error, sizeof error), 0) << error;
  auto held = Framework();
  EXPECT_EQ(Framework().Get(), held.Get());
  SetProfile(R"({"delivery": "inline"})");
  EXPECT_NE(Framework().Get(), held.Get());
}

// A description's profile is applied; one without leaves the profile as it
// is. The export writes the profile of the description loaded, if any.
TEST_F(DescriptionTest, ADescriptionsProfileIsAppliedAndExportedAsLoaded) {
  Load(R"({"profile": {"frameworks": "shared"}})");
  auto framework = Framework();
  EXPECT_EQ(Framework().Get(), framework.Get());
  Load(R"({"targets": {"rt": {}}})");
  EXPECT_EQ(Framework().Get(), framework.Get());
  EXPECT_EQ(Export().find("profile"), std::string::npos);

  Load(R"({"profile": {"late-release-ms": "0x10", "delivery": "inline"}})");
  EXPECT_NE(Framework().Get(), framework.Get());
  std::string exported = Export();
  EXPECT_NE(exported.find(R"("profile": {
    "registrations": "per-target",
    "removal": "waits",
    "delivery": "inline",
    "frameworks": "new",
    "late-release-ms": 16,
    "notifications": "supported"
  })"),
            std::string::npos)
      << exported;
  Load(exported);
  EXPECT_EQ(Export(), exported);
}

// The format page shows the sample file as it is.
TEST(HardwareDescriptionPage, ShowsTheFullSampleUnchanged) {
  const std::string sample = test_support::ReadFile(KELMORROW_SAMPLES "/hardware-full.json");
  ASSERT_NE(sample, "");
  EXPECT_EQ(test_support::FullExampleOf(test_support::ReadFile(KELMORROW_DOCS "/hardware-description.md")), sample);
}

}  // namespace
}  // namespace kelmorrow_test
