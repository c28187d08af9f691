#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <algorithm>
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

// A replacement that adds one name and drops another.
const char kReplacement[] = R"({"end": 0.4, "steps": [
  {"at": 0.05, "target": "rt-a.lab", "replace": [
    {"status": 1, "modelCode": "0x7303", "resourceName": "Rack2Slot1"},
    {"status": 1, "modelCode": "0x7047", "resourceName": "Rack2Slot4"}]}
]})";

// A change that a failing library never lets through. Apart from the
// replacement: the tool reads the records through the library when a list
// arrives, and a failure set by a later step of the same script would meet
// that reading whenever the list came late.
// Then the service restarts and the profile changes.
const char kFailingLibrary[] = R"({"end": 0.4, "steps": [
  {"at": 0.05, "fail": "FindHardware", "result": "0x800706BA"},
  {"at": 0.1, "target": "rt-a.lab", "add": [{"status": 1, "modelCode": "0x7405", "resourceName": "Late"}]},
  {"at": 0.15, "restart": true},
  {"at": 0.2, "profile": {"notifications": "unsupported", "late-release-ms": 5}}
]})";

std::vector<json> Events(const std::string& lines) {
  std::vector<json> events;
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line);) events.push_back(json::parse(line));
  return events;
}

TEST(Watch, SecondListAddsAndRemovesTheChangedNames) {
  InputFile script("script.json", kReplacement);
  const ToolRun run = RunTool({"--json", "--target", "rt-a.lab", "--watch", script.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<json> lists;
  std::vector<json> steps;
  std::vector<std::string> kinds;
  for (const json& event : Events(run.out)) {
    kinds.push_back(event.at("event").get<std::string>());
    if (event.at("event") == "list") lists.push_back(event);
    if (event.at("event") == "step") steps.push_back(event);
  }
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].at("action"), "replace");
  ASSERT_EQ(lists.size(), 2u) << run.out;
  EXPECT_EQ(lists[0].at("added"), json(Names{"Rack2Slot1", "sync://localhost/system"}));
  EXPECT_EQ(lists[1].at("added"), json(Names{"Rack2Slot4"}));
  EXPECT_EQ(lists[1].at("removed"), json(Names{"sync://localhost/system"}));
  EXPECT_EQ(lists[1].at("names").at(1).at("producedBy"), "device");
  EXPECT_EQ(kinds.back(), "end");
}

TEST(Watch, TableShowsEachStepAndTheNamesThatCameAndWent) {
  InputFile script("script.json", kReplacement);
  const ToolRun run = RunTool({"--target", "rt-a.lab", "--watch", script.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("step 1: replace the records of \"rt-a.lab\" by 2 records\n"));
  EXPECT_THAT(run.out, HasSubstr("\"rt-a.lab\": new list, 2 names (+1 -1)\n"));
  EXPECT_THAT(run.out, HasSubstr("+ Rack2Slot4  device of model 0x7047\n"));
  EXPECT_THAT(run.out, HasSubstr("- sync://localhost/system\n"));
  EXPECT_THAT(run.out, HasSubstr("the script has ended\n"));
}

TEST(Watch, FailingLibraryKeepsTheListThroughAChange) {
  InputFile script("script.json", kFailingLibrary);
  const ToolRun run = RunTool({"--json", "--target", "rt-a.lab", "--watch", script.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<json> steps;
  std::vector<std::string> kinds;
  for (const json& event : Events(run.out)) {
    kinds.push_back(event.at("event").get<std::string>());
    if (event.at("event") == "step") steps.push_back(event);
  }
  ASSERT_EQ(steps.size(), 4u) << run.out;
  std::vector<std::string> actions;
  for (const json& step : steps) actions.push_back(step.at("action"));
  EXPECT_EQ(actions, (Names{"fail", "add", "restart", "profile"}));
  EXPECT_EQ(steps[0].at("text"), "FindHardware fails with 0x800706BA on every call");
  EXPECT_FALSE(steps[0].contains("for"));
  EXPECT_EQ(steps[2].at("text"), "the library's service restarts");
  EXPECT_EQ(steps[3].at("text"), "the library's profile changes: notifications unsupported, late-release-ms 5");
  EXPECT_EQ(steps[3].at("profile"), json::parse(R"({"notifications": "unsupported", "late-release-ms": 5})"));
  EXPECT_THAT(kinds, ::testing::Contains("libraryFailures"));
  EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "list"), 1) << run.out;
  EXPECT_THAT(run.out, ::testing::Not(HasSubstr("Late")));
  EXPECT_EQ(kinds.back(), "end");
}

// The short sample of a slowly starting library: the failures for a while
// are set and end as events of their own, and the device added meanwhile
// arrives without another change, the plug-in trying again after its
// back-off.
TEST(Watch, SlowStartSampleHealsWithoutAnotherChange) {
  const ToolRun run =
      RunTool({"--json", "--target", "", "--watch", KRONEL_SOURCE "/testbed/samples/slow-start.json"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<json> steps;
  std::vector<json> ends;
  std::vector<json> lists;
  for (const json& event : Events(run.out)) {
    if (event.at("event") == "step") steps.push_back(event);
    if (event.at("event") == "stepEnds") ends.push_back(event);
    if (event.at("event") == "list") lists.push_back(event);
  }
  ASSERT_EQ(steps.size(), 3u) << run.out;
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(steps[i].at("action"), "fail");
    EXPECT_EQ(steps[i].at("for"), 1.0);
  }
  EXPECT_EQ(steps[0].at("operation"), "kelsysInstantiateFramework2");
  EXPECT_EQ(steps[1].at("operation"), "FindHardware");
  EXPECT_EQ(steps[2].at("action"), "add");
  ASSERT_EQ(ends.size(), 2u) << run.out;
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(ends[i].at("step"), steps[i].at("step"));
    EXPECT_EQ(ends[i].at("operation"), steps[i].at("operation"));
    EXPECT_GE(ends[i].at("seconds").get<double>(), steps[i].at("seconds").get<double>());
  }
  EXPECT_EQ(ends[1].at("text"), "the failure of FindHardware with 0x800706BA is over");
  ASSERT_FALSE(lists.empty());
  const json& last = lists.back();
  std::vector<std::string> names;
  for (const json& name : last.at("names")) names.push_back(name.at("name"));
  EXPECT_THAT(names, ::testing::Contains("Rack1Slot5")) << run.out;
  EXPECT_EQ(names.size(), 8u);
}

TEST(Watch, DocumentedExampleIsTheSampleScript) {
  const std::string sample = test_support::ReadFile(KRONEL_SOURCE "/testbed/samples/sample-changes.json");
  ASSERT_NE(sample, "");
  EXPECT_EQ(test_support::FullExampleOf(test_support::ReadFile(KRONEL_SOURCE "/docs/change-script.md")),
            sample);
}

}  // namespace
}  // namespace cli_test
