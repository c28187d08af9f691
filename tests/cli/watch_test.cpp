#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/tool_run.h"
#include "text_file.h"

namespace cli_test {
namespace {

using ::testing::HasSubstr;
using nlohmann::json;
using Names = std::vector<std::string>;

// A replacement that adds one name and drops another, then a change that a
// failing library never lets through.
const char kScript[] = R"({"end": 0.4, "steps": [
  {"at": 0.05, "target": "rt-a.lab", "replace": [
    {"status": 1, "modelCode": "0x7303", "resourceName": "Rack2Slot1"},
    {"status": 1, "modelCode": "0x7047", "resourceName": "Rack2Slot4"}]},
  {"at": 0.15, "fail": "FindHardware", "result": "0x800706BA"},
  {"at": 0.2, "target": "rt-a.lab", "add": [{"status": 1, "modelCode": "0x7405", "resourceName": "Late"}]}
]})";

std::vector<json> Events(const std::string& lines) {
  std::vector<json> events;
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line);) events.push_back(json::parse(line));
  return events;
}

TEST(Watch, SecondListAddsAndRemovesTheChangedNames) {
  InputFile script("script.json", kScript);
  const ToolRun run = RunTool({"--json", "--target", "rt-a.lab", "--watch", script.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<json> lists;
  std::vector<std::string> kinds;
  for (const json& event : Events(run.out)) {
    kinds.push_back(event.at("event").get<std::string>());
    if (event.at("event") == "list") lists.push_back(event);
  }
  ASSERT_EQ(lists.size(), 2u) << run.out;
  EXPECT_EQ(lists[0].at("added"), json(Names{"Rack2Slot1", "sync://localhost/system"}));
  EXPECT_EQ(lists[1].at("added"), json(Names{"Rack2Slot4"}));
  EXPECT_EQ(lists[1].at("removed"), json(Names{"sync://localhost/system"}));
  EXPECT_EQ(lists[1].at("names").at(1).at("producedBy"), "device");
  EXPECT_THAT(kinds, ::testing::Contains("libraryFailures"));
  EXPECT_EQ(kinds.back(), "end");
}

TEST(Watch, TableShowsEachStepAndTheNamesThatCameAndWent) {
  InputFile script("script.json", kScript);
  const ToolRun run = RunTool({"--target", "rt-a.lab", "--watch", script.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("step 1: replace the records of \"rt-a.lab\" by 2 records\n"));
  EXPECT_THAT(run.out, HasSubstr("\"rt-a.lab\": new list, 2 names (+1 -1)\n"));
  EXPECT_THAT(run.out, HasSubstr("+ Rack2Slot4  device of model 0x7047\n"));
  EXPECT_THAT(run.out, HasSubstr("- sync://localhost/system\n"));
  EXPECT_THAT(run.out, HasSubstr("step 2: FindHardware fails with 0x800706BA on every call\n"));
  EXPECT_THAT(run.out, ::testing::Not(HasSubstr("Late")));
  EXPECT_THAT(run.out, HasSubstr("the script has ended\n"));
}

TEST(Watch, DocumentedExampleIsTheSampleScript) {
  const std::string sample = test_support::ReadFile(KRONEL_SOURCE "/testbed/samples/sample-changes.json");
  ASSERT_NE(sample, "");
  EXPECT_EQ(test_support::FullExampleOf(test_support::ReadFile(KRONEL_SOURCE "/docs/change-script.md")),
            sample);
}

}  // namespace
}  // namespace cli_test
