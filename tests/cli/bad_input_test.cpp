#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/tool_run.h"

namespace cli_test {
namespace {

using ::testing::HasSubstr;

// Bad input ends the run with one message and exit code 2, before any output.
void ExpectRejected(const std::vector<std::string>& arguments, const std::string& message) {
  SCOPED_TRACE(message);
  const ToolRun run = RunTool(arguments);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "kronel-names: " + message + "\n");
}

TEST(BadInput, HardwareDescriptions) {
  InputFile malformed("malformed.json", "{\"targets\": {\"\": {\"records\": [\n  {\"status\": 1,, }]}}}");
  InputFile unknown("unknown.json",
                    "{\"targets\": {\"\": {\"records\": [\n  {\"status\": 1, \"modelcode\": 5}]}}}");
  InputFile wrongType("type.json", "{\"targets\": {\"\": {\"records\": [\n  {\"status\": true}]}}}");
  const std::string missing = malformed.path() + ".missing";

  ExpectRejected({"--hardware", missing}, missing + ": cannot be opened");
  ExpectRejected({"--hardware", malformed.path()},
                 malformed.path() + ":2:16: expected a string key, found ','");
  const ToolRun run = RunTool({"--hardware", unknown.path()});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(run.err, HasSubstr(unknown.path() + ":2:17: unknown key \"modelcode\" in a record"));
  ExpectRejected({"--hardware", wrongType.path()},
                 wrongType.path() + ":2:14: expected an int32 for \"status\"");
}

TEST(BadInput, ChangeScripts) {
  InputFile malformed("malformed.json", "{\"steps\": [\n  {\"at\": 1,]}");
  InputFile unknownKey("key.json", "{\"steps\": [\n  {\"at\": 1, \"ad\": []}]}");
  InputFile wrongType("type.json", "{\"steps\": [\n  {\"at\": \"soon\", \"remove\": [\"Dev1\"]}]}");
  InputFile badRecord("record.json",
                      "{\"steps\": [\n  {\"at\": 1, \"add\": [{\"status\": 1, \"resourceNam\": \"X\"}]}]}");
  InputFile operation("operation.json", "{\"steps\": [\n  {\"at\": 1, \"fail\": \"FindHardwar\"}]}");
  InputFile twice("twice.json",
                  "{\"steps\": [\n  {\"at\": 1, \"remove\": [\"Dev1\"]},\n"
                  "  {\"at\": 2, \"remove\": [\"Dev1\"]}]}");

  ExpectRejected({"--watch", malformed.path()}, malformed.path() + ":2:12: expected a string key, found ']'");
  for (const InputFile* file : {&unknownKey, &badRecord, &operation}) {
    const ToolRun run = RunTool({"--watch", file->path()});
    EXPECT_EQ(run.exitCode, 2) << file->path();
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr(file->path() + ":2:"));
  }
  ExpectRejected({"--watch", wrongType.path()},
                 wrongType.path() + ":2:10: expected a number for \"at\", found a string");
  // A record the library rejects is pointed at in the script itself, past a
  // byte order mark, CRLF line ends and characters of several bytes.
  InputFile encoded(
      "encoded.json",
      "\xEF\xBB\xBF{\"steps\": [\r\n  {\"at\": 1, \"target\": \"Z\xC3\xBCrich\xF0\x9D\x84\x9E\", "
      "\"add\": [{\"status\": \"x\"}]}]}");
  const ToolRun run = RunTool({"--watch", encoded.path()});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(run.err, HasSubstr(encoded.path() + ":2:53: expected an int32 for \"status\""));
  // The second removal finds nothing left to remove.
  ExpectRejected({"--watch", twice.path()},
                 twice.path() + ":3:24: no record named \"Dev1\" on the target \"\"");
}

// Failures for a while, restarts and profile changes are checked like every
// step; a profile's keys and values by the library's own reader, pointed at
// in the script.
TEST(BadInput, RecoverySteps) {
  struct Case {
    const char* step;
    const char* message;
  };
  const Case cases[] = {
      {R"({"at": 1, "fail": "FindHardware", "call": 2, "for": 1})",
       "2:45: \"for\" makes every call fail for a while, so \"call\" can only be 0 beside it, not 2"},
      {R"({"at": 1, "fail": "GetString", "for": 0})",
       "2:41: expected seconds above 0 (at least 0.001) for \"for\", found 0"},
      {R"({"at": 1, "fail": "GetString", "for": 90000})",
       "2:41: expected seconds from 0 to 86400 for \"for\", found 90000"},
      {R"({"at": 1, "restart": true, "for": 1})", "2:30: \"for\" belongs to fail, not to \"restart\""},
      {R"({"at": 1, "restart": "yes"})", "2:24: expected true for \"restart\""},
      {R"({"at": 1, "restart": true, "profile": {}})",
       "2:30: a step does one thing, but this one has both \"restart\" and \"profile\""},
      {R"({"at": 1, "profile": {"frameworks": "shared", "notifications": "off"}})",
       "2:66: unknown value \"off\" for \"notifications\" (expected supported or unsupported)"},
      {R"({"at": 1, "profile": {}})", "2:24: expected at least one member in \"profile\", such as \"notifications\""},
      {R"({"at": 1, "profile": ["notifications"]})", "2:24: expected an object for \"profile\", found an array"},
      {R"({"at": 1, "profile": {"notification": "unsupported"}})",
       "2:25: unknown key \"notification\" in the profile (expected one of: registrations, removal, delivery, "
       "frameworks, late-release-ms, notifications)"},
      {R"({"at": 1, "profile": {"late-release-ms": -1}})",
       "2:44: value -1 is out of range for uint32 \"late-release-ms\" (0 to 4294967295)"},
  };
  for (const Case& rejected : cases) {
    InputFile script("recovery.json", std::string("{\"steps\": [\n  ") + rejected.step + "]}");
    ExpectRejected({"--watch", script.path()}, script.path() + ":" + rejected.message);
  }
}

TEST(BadInput, Usage) {
  for (const std::vector<std::string>& arguments : {std::vector<std::string>{"--bogus"},
                                                    {"--hardware"},
                                                    {"stray"},
                                                    {"--library", "installed", "--hardware", "x.json"},
                                                    {"--library", "installed", "--watch", "x.json"},
                                                    {"--library", "a.json", "--hardware", "b.json"},
                                                    {"--dump", "--explain"}}) {
    const ToolRun run = RunTool(arguments);
    EXPECT_EQ(run.exitCode, 2) << arguments.front();
    EXPECT_EQ(run.out, "");
    EXPECT_THAT(run.err, HasSubstr("\nTry 'kronel-names --help'.\n"));
  }
}

}  // namespace
}  // namespace cli_test
