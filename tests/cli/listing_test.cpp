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

struct Row {
  std::string name;
  std::string origin;
};

// The local target of the embedded sample, in byte order: upper case before
// lower case, the sync:// URLs among the device names.
const std::vector<Row> kLocalRows = {
    {"Dev1", "device of model 0x75E6"},
    {"Rack1Slot2", "device of model 0x7066"},
    {"sync:///system", "remote system without a host name"},
    {"sync://RT-B/system", "remote system"},
    {"sync://localhost/system", "local system"},
    {"sync://rt-a.lab/system", "remote system"},
    {"timing-card", "device of model 0x7405"},
};

std::vector<std::string> Names(const json& target) {
  std::vector<std::string> names;
  for (const json& name : target.at("names")) names.push_back(name.at("name").get<std::string>());
  return names;
}

std::vector<std::string> LocalNames() {
  std::vector<std::string> names;
  for (const Row& row : kLocalRows) names.push_back(row.name);
  return names;
}

TEST(Listing, EmbeddedSampleTableShowsEveryNameFormInByteOrder) {
  const ToolRun run = RunTool({});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::size_t local = run.out.find("Target \"\" (the local machine), application reference 1\n");
  ASSERT_NE(local, std::string::npos) << run.out;
  EXPECT_NE(run.out.find("  answers: 2 pending, ", local), std::string::npos) << run.out;

  std::size_t at = local;
  for (std::size_t i = 0; i < kLocalRows.size(); ++i) {
    const std::string row = std::to_string(i + 1) + "  " + kLocalRows[i].name;
    at = run.out.find(row, at);
    ASSERT_NE(at, std::string::npos) << "row " << row << " missing or out of order in\n" << run.out;
    const std::size_t end = run.out.find('\n', at);
    EXPECT_THAT(run.out.substr(at, end - at), ::testing::EndsWith("  " + kLocalRows[i].origin));
  }
  EXPECT_THAT(run.out, HasSubstr("Target \"rt-a.lab\", application reference 2\n"));
}

TEST(Listing, JsonParsesBack) {
  const ToolRun run = RunTool({"--json"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json document = json::parse(run.out);
  EXPECT_EQ(document.at("version"), KRONEL_VERSION);
  EXPECT_EQ(document.at("embedded"), true);

  const json& local = TargetIn(document, "");
  EXPECT_EQ(Names(local), LocalNames());
  EXPECT_EQ(local.at("appRef"), 1);
  EXPECT_EQ(local.at("results").front(), 2);
  EXPECT_THAT(local.at("results").get<std::vector<int>>(), ::testing::Contains(0));
  EXPECT_GE(local.at("milliseconds").get<double>(), 0);
  EXPECT_EQ(local.at("names").at(0).at("producedBy"), "device");
  EXPECT_EQ(local.at("names").at(0).at("model"), "0x75E6");
  EXPECT_EQ(local.at("names").at(4).at("producedBy"), "local-system");
  EXPECT_EQ(local.at("names").at(2).at("hasHostName"), false);

  EXPECT_EQ(Names(TargetIn(document, "rt-a.lab")),
            (std::vector<std::string>{"Rack2Slot1", "sync://localhost/system"}));
}

TEST(Listing, OnlyTheTargetsAskedForAreListed) {
  const ToolRun run = RunTool({"--json", "--target", "rt-a.lab", "--target", "nowhere"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json document = json::parse(run.out);
  ASSERT_EQ(document.at("targets").size(), 2u);
  EXPECT_EQ(document.at("targets").at(0).at("target"), "rt-a.lab");
  EXPECT_EQ(TargetIn(document, "nowhere").at("names"), json::array());
}

TEST(Listing, ExplainNamesTheRuleThatDroppedEachRecord) {
  const ToolRun run = RunTool({"--explain", "--target", ""});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("dropped  status is 0, not 1  (sample-hardware.json:10:9)"));
  EXPECT_THAT(run.out, HasSubstr("dropped  no status  (sample-hardware.json:11:9)"));
  EXPECT_THAT(run.out, HasSubstr("dropped  device of model 0x72FB without a resource name"));
  EXPECT_THAT(run.out, HasSubstr("dropped  model 0x1234 is neither a listed device nor a system model"));
  EXPECT_THAT(run.out,
              HasSubstr("dropped  no model code, and operating system \"kel-linux x64\" is not supported"));
  EXPECT_THAT(run.out, HasSubstr("but not the local system (its source resource name is \"rt-spare\""));
  EXPECT_THAT(run.out, HasSubstr("kept     device of model 0x7066: Rack1Slot2  (sample-hardware.json:6:9)"));
}

// Records that fail, hide or mislead; the rules must give exactly what the plug-in delivers.
const char kTrickyDescription[] = R"({"targets": {
  "quirks": {"records": [
    {"status": 1, "modelCode": "0x7066", "resourceName": {"stringFalse": true}},
    {"status": 1, "modelCode": "0x7066", "resourceName": "Twin"},
    {"status": 1, "modelCode": "0x7065", "resourceName": "Twin"},
    {"status": 1, "modelCode": "0x71DC", "resourceName": "Both", "operatingSystem": "KEL-Linux x64",
     "sourceNames": ["network"], "hostName": {"value": "hidden", "hasPropertyFailure": "0x8000FFFF"}},
    {"status": 1, "modelCode": "0x78B9", "sourceNames": ["kelsyscfg", "network"], "sourceCount": 0},
    {"status": 1, "modelCode": "0x7941", "sourceNames": ["x", "y", "network"], "hostName": "third"},
    {"status": {"value": 1, "hasPropertyFailure": "0x80004005"}, "modelCode": "0x7066", "resourceName": "Ghost"},
    {"status": 1, "modelCode": "0x7066", "resourceName": "Refused", "refusesPropertyBag": true},
    {"status": -1, "modelCode": "0x7066", "resourceName": "Negative"}]},
  "far-index": {"records": [
    {"status": 1, "modelCode": "0x7066", "resourceName": "Lost"},
    {"status": 1, "operatingSystem": "Linux-ARMv7-A", "sourceCount": 4096,
     "properties": {"0x101EFFF": {"type": "string", "value": "network"}}}]},
  "read-failure": {"records": [
    {"status": 1, "modelCode": {"type": "uint32", "readFailure": "0x80004005"}}]},
  "disabled": {"enabled": false, "records": [{"status": 1, "modelCode": "0x7066", "resourceName": "Off"}]}
}})";

TEST(Listing, ExplanationsAgreeWithWhatThePluginDelivered) {
  InputFile tricky("tricky.json", kTrickyDescription);
  std::vector<json> documents;
  for (const std::string& hardware :
       {tricky.path(), std::string(KRONEL_SOURCE "/testbed/samples/hardware-full.json")}) {
    const ToolRun run = RunTool({"--json", "--explain", "--hardware", hardware});
    // Both hold targets whose records the library fails to read.
    ASSERT_EQ(run.exitCode, 1) << run.err;
    EXPECT_THAT(run.err, HasSubstr(": the library failed: "));
    EXPECT_THAT(run.err, ::testing::Not(HasSubstr("do not give the list")));
    documents.push_back(json::parse(run.out));
    for (const json& target : documents.back().at("targets")) {
      SCOPED_TRACE(target.at("target").get<std::string>());
      EXPECT_EQ(target.at("explained"), true);
      const json& refresh = target.at("refresh");
      if (refresh.at("succeeds") == true) {
        EXPECT_EQ(json(Names(target)), refresh.at("names"));
      } else {
        EXPECT_EQ(target.at("names"), json::array());
      }
    }
  }

  const json& document = documents.front();
  EXPECT_EQ(Names(TargetIn(document, "quirks")),
            (std::vector<std::string>{"Both", "Twin", "sync:///system", "sync://third/system"}));
  EXPECT_THAT(TargetIn(document, "far-index").at("refresh").at("failure").get<std::string>(),
              HasSubstr("index 4095"));
  EXPECT_THAT(TargetIn(document, "read-failure").at("refresh").at("failure").get<std::string>(),
              HasSubstr("reading \"modelCode\" with GetUInt32 fails with 0x80004005 (E_FAIL)"));
  EXPECT_THAT(TargetIn(document, "disabled").at("refresh").at("failure").get<std::string>(),
              HasSubstr("0x80070015"));
}

TEST(Listing, PluginThatCannotBeLoadedIsAFailure) {
  const ToolRun run = RunTool({"--plugin", "no-such-plugin.dll"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("no-such-plugin.dll: the plug-in cannot be loaded"));
  EXPECT_EQ(run.out, "");
}

TEST(Listing, HelpAndVersion) {
  const ToolRun help = RunTool({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_THAT(help.out, HasSubstr("Usage: kronel-names [OPTIONS]"));
  EXPECT_THAT(help.out, HasSubstr("Exit codes:"));
  const ToolRun version = RunTool({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "kronel-names " KRONEL_VERSION "\n");
}

}  // namespace
}  // namespace cli_test
