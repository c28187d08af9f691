#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/tool_run.h"

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
const char kFailingLibrary[] = R"({"end": 0.4, "steps": [
  {"at": 0.05, "fail": "FindHardware", "result": "0x800706BA"},
  {"at": 0.1, "target": "rt-a.lab", "add": [{"status": 1, "modelCode": "0x7405", "resourceName": "Late"}]}
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
  const ToolRun run = RunTool({"--target", "rt-a.lab", "--watch", script.path()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("step 1: FindHardware fails with 0x800706BA on every call\n"));
  EXPECT_THAT(run.out, HasSubstr("the library failed"));
  EXPECT_THAT(run.out, ::testing::Not(HasSubstr("new list")));
  EXPECT_THAT(run.out, ::testing::Not(HasSubstr("Late")));
  EXPECT_THAT(run.out, HasSubstr("the script has ended\n"));
}

std::string ReadText(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

TEST(Watch, DocumentedExampleIsTheSampleScript) {
  const std::string page = ReadText(KRONEL_SOURCE "/docs/change-script.md");
  const std::size_t section = page.find("## Full example");
  ASSERT_NE(section, std::string::npos);
  const std::size_t begin = page.find("```json\n", section);
  ASSERT_NE(begin, std::string::npos);
  const std::size_t end = page.find("```", begin + 8);
  EXPECT_EQ(page.substr(begin + 8, end - begin - 8), ReadText(KRONEL_SOURCE "/testbed/samples/sample-changes.json"));
}

}  // namespace
}  // namespace cli_test
