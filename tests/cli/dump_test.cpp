// What the tool reads through the library's contract, --explain and --dump
// alike, against the description the library was loaded with: the simulated
// library beside the tool, and the same served as an installed library in a
// folder of its own on the search path, which the tool cannot drive.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/tool_json.h"
#include "support/tool_run.h"

namespace cli_test {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;

const std::string kLongName = std::string(1 << 20, 'N');

// Records that fail, lack properties or carry a name of 1 MiB.
std::string Description() {
  return R"({"targets": {
  "rack": {"records": [
    {"status": 1, "modelCode": "0x7405", "resourceName": ")" +
         kLongName + R"("},
    {"status": 1, "modelCode": "0x7066"},
    {"status": 1, "modelCode": "0x7066", "resourceName": {"stringFalse": true}},
    {"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["network", {"readFailure": "0x80070005"}],
     "sourceCount": 3, "hostName": {"value": "h", "hasPropertyFailure": "0x8000FFFF"}}]},
  "broken": {"records": [{"status": 1, "modelCode": {"readFailure": "0x80004005"}, "resourceName": "Broken"}]},
  "typed": {"records": [{"status": {"type": "string", "value": "1"}, "resourceName": "Typed"}]},
  "down": {"findHardwareFailure": "0x800706BA"}
}})";
}

const std::vector<std::string> kTargets = {"--target", "rack",  "--target", "broken",
                                           "--target", "typed", "--target", "down"};

std::vector<std::string> Joined(std::vector<std::string> arguments, const std::vector<std::string>& more) {
  arguments.insert(arguments.end(), more.begin(), more.end());
  return arguments;
}

class Contract : public ::testing::TestWithParam<bool> {
 protected:
  bool Installed() const { return GetParam(); }

  // The tool with `arguments`, its library serving `hardware`.
  ToolRun Run(const std::vector<std::string>& arguments, const std::string& hardware) const {
    if (!Installed()) return RunTool(Joined(arguments, {"--library", hardware}));
    const std::string plugin = scratch_.Copy(ProgramFolder() + LibraryFile("kronel_ztprovider"), "plugin",
                                             LibraryFile("kronel_ztprovider"));
    SearchPathFirst path(ProgramFolder() + "installed-kelmorrow");
    ScopedVariable simulation("KRONEL_TEST_SIMULATION", ProgramFolder() + LibraryFile("kelmorrow"));
    ScopedVariable served("KRONEL_TEST_HARDWARE", hardware);
    return RunTool(Joined(arguments, {"--library", "installed", "--plugin", plugin}));
  }

  InputFile description_{"hardware.json", Description()};
  ScratchFolder scratch_;
};

INSTANTIATE_TEST_SUITE_P(Library, Contract, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Installed" : "Simulated";
                         });

TEST_P(Contract, ExplainAgreesWithTheDescription) {
  const ToolRun run = Run(Joined({"--json", "--explain"}, kTargets), description_.path());
  // The library failed reads: shown with the operation, the record and the HRESULT's name.
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_THAT(run.err,
              HasSubstr("target \"broken\": the library failed: record 1: reading \"modelCode\" with "
                        "GetUInt32 fails with 0x80004005 (E_FAIL)\n"));
  EXPECT_THAT(run.err,
              HasSubstr("target \"typed\": the library failed: record 1: reading \"status\" with GetInt32 "
                        "fails with 0x80020005 (DISP_E_TYPEMISMATCH): the record holds a string, the "
                        "plug-in reads an int32\n"));
  EXPECT_THAT(run.err, HasSubstr("target \"down\": the library failed: FindHardware fails with 0x800706BA "
                                 "(RPC_S_SERVER_UNAVAILABLE)\n"));
  EXPECT_THAT(run.err, ::testing::Not(HasSubstr("\"rack\"")));

  const json document = json::parse(run.out);
  EXPECT_EQ(document.at("libraryInstalled"), Installed());
  EXPECT_EQ(document.at("librarySimulation"), false);
  for (const json& target : document.at("targets")) {
    SCOPED_TRACE(target.at("target").get<std::string>());
    EXPECT_EQ(target.at("explained"), true);
  }
  const json& rack = TargetIn(document, "rack");
  EXPECT_EQ(rack.at("refresh").at("names"), json({kLongName, "sync:///system"}));
  ASSERT_EQ(rack.at("records").size(), 4u);
  EXPECT_EQ(rack.at("records").at(0).at("names"), json({kLongName}));
  EXPECT_EQ(rack.at("records").at(1).at("rule"), "device-without-name");
  EXPECT_EQ(rack.at("records").at(2).at("rule"), "device-without-name");
  EXPECT_EQ(rack.at("records").at(3).at("text"),
            "remote system (operating system \"KEL-Linux x64\", a \"network\" source, no host name)");
  // Only a description the tool was given places the records.
  EXPECT_EQ(rack.at("records").at(3).at("at"), Installed() ? "" : description_.path() + ":6:5");
  EXPECT_EQ(TargetIn(document, "broken").at("records").at(0).at("verdict"), "stops");
  EXPECT_EQ(TargetIn(document, "down").at("records"), json::array());
}

TEST_P(Contract, DumpShowsEachPropertyAsTheLibraryReportsIt) {
  const ToolRun run = Run(Joined({"--dump"}, kTargets), description_.path());
  EXPECT_EQ(run.exitCode, 1) << run.err;
  for (const char* failure :
       {"target \"broken\", record 1: GetUInt32 of \"modelCode\" fails with 0x80004005 (E_FAIL)\n",
        "target \"rack\", record 4: HasProperty of \"hostName\" fails with 0x8000FFFF (E_UNEXPECTED)\n",
        "target \"rack\", record 4: GetString of \"sourceNames[1]\" fails with 0x80070005 (E_ACCESSDENIED)\n",
        "target \"down\": FindHardware fails with 0x800706BA (RPC_S_SERVER_UNAVAILABLE)\n"}) {
    EXPECT_THAT(run.err, HasSubstr(std::string("kronel-names: the library failed: ") + failure));
  }

  const json targets = json::parse(run.out).at("targets");
  const json& rack = targets.at("rack").at("records");
  ASSERT_EQ(rack.size(), 4u);
  EXPECT_EQ(rack.at(0), json({{"status", 1}, {"modelCode", "0x7405"}, {"resourceName", kLongName}}));
  EXPECT_EQ(rack.at(1), json({{"status", 1}, {"modelCode", "0x7066"}}));
  EXPECT_EQ(rack.at(2).at("resourceName"), json({{"stringFalse", true}}));
  EXPECT_EQ(rack.at(3).at("sourceNames"), json({"network", {{"readFailure", "0x80070005"}}}));
  EXPECT_EQ(rack.at(3).at("sourceCount"), 3);
  EXPECT_EQ(rack.at(3).at("hostName"), json({{"value", "h"}, {"hasPropertyFailure", "0x8000FFFF"}}));
  EXPECT_EQ(targets.at("broken").at("records").at(0).at("modelCode"), json({{"readFailure", "0x80004005"}}));
  EXPECT_EQ(targets.at("typed").at("records").at(0).at("status"), json({{"type", "string"}, {"value", "1"}}));
  EXPECT_EQ(targets.at("down"), json({{"records", json::array()}, {"findHardwareFailure", "0x800706BA"}}));
}

// Dump, load the dump, dump again: byte for byte the same.
TEST(Dump, RoundTrips) {
  InputFile description("hardware.json", Description());
  for (const std::string& source :
       {std::string("sample"), std::string(KRONEL_SOURCE "/testbed/samples/hardware-full.json"),
        description.path()}) {
    SCOPED_TRACE(source);
    const ToolRun first = RunTool({"--dump", "--library", source});
    ASSERT_NE(first.out, "") << first.err;
    InputFile dumped("dump.json", first.out);
    const ToolRun second = RunTool({"--dump", "--hardware", dumped.path()});
    EXPECT_EQ(second.exitCode, first.exitCode) << second.err;
    EXPECT_TRUE(second.out == first.out) << "the second dump differs:\n" << second.out.substr(0, 2000);
  }
}

}  // namespace
}  // namespace cli_test
