#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/test_modules.h"

namespace hostbind_test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::string Load(const std::string& name) { return "load:" + BinderModulePath(name); }

// The markers the child's calls of TargetURL printed, in order.
std::vector<int> Markers(const std::string& output) {
  std::vector<int> markers;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("TargetURL ", 0) == 0) markers.push_back(std::stoi(line.substr(10)));
  }
  return markers;
}

// The fatal end leaves with exit code 1, and its text where the platform shows it.
void ExpectFatalEnd(const ChildRun& run, const std::string& text) {
  EXPECT_EQ(run.exitCode, 1) << run.output;
  if (KRONEL_FATAL_TEXT_ON_STDERR) {
    EXPECT_THAT(run.output, HasSubstr("Fatal Error: " + text + "\n"));
  }
}

// Without settings, the executable that marks itself as the host is the host.
TEST(HostProcess, MainProgramWithAMarkerExport) {
  ChildRun gztrt = RunChild("binder_child_gztrt", {"call:TargetURL"});
  EXPECT_EQ(gztrt.exitCode, 0);
  EXPECT_THAT(gztrt.output, HasSubstr("TargetURL 400"));
  ChildRun aznew = RunChild("binder_child_aznew", {"call:TargetURL"});
  EXPECT_EQ(aznew.exitCode, 0);
  EXPECT_THAT(aznew.output, HasSubstr("TargetURL 401"));
}

TEST(HostProcess, RunTimeModulesFoundByName) {
  EXPECT_THAT(RunChild("binder_child", {Load("ztffrt"), "call:TargetURL"}).output, HasSubstr("TargetURL 202"));
  EXPECT_THAT(RunChild("binder_child", {Load("ztffrt"), Load("ztrt"), "call:TargetURL"}).output,
              HasSubstr("TargetURL 201"));
}

// The module set comes before those found by name, a TLS value before the
// module set; a TLS index whose value is null on this thread falls back to
// the module set, and either setting set back to none is no longer used.
TEST(HostProcess, Setters) {
  ChildRun run = RunChild("binder_child",
                          {Load("binder_v1"), Load("binder_v2"), Load("ztrt"), "module:0", "call:TargetURL",
                           "tlsindex", "call:TargetURL", "tlsvalue:1", "call:TargetURL", "tlsindex:-",
                           "call:TargetURL", "module:-", "call:TargetURL"});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(Markers(run.output), (std::vector<int>{101, 101, 102, 101, 201}));
}

// Two modules of one image version share a slot, and each call reaches its own.
TEST(HostProcess, SameVersionModulesTakeTurns) {
  std::vector<std::string> steps{Load("binder_twin_a"), Load("binder_twin_b")};
  for (int round = 0; round < 3; ++round) {
    for (const char* step : {"module:0", "call:TargetURL", "module:1", "call:TargetURL"})
      steps.push_back(step);
  }
  ChildRun run = RunChild("binder_child", steps);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(Markers(run.output), (std::vector<int>{501, 502, 501, 502, 501, 502}));
}

TEST(HostProcess, UnloadedModulesSlotIsTakenOver) {
  std::vector<std::string> steps;
  for (int n = 1; n <= 8; ++n) {
    steps.push_back(Load("binder_v" + std::to_string(n)));
    steps.push_back("module:" + std::to_string(n - 1));
    steps.push_back("call:TargetURL");
  }
  for (const char* step : {"unload:3", "module:0"}) steps.push_back(step);
  steps.push_back(Load("binder_v9"));
  for (const char* step : {"module:8", "call:TargetURL"}) steps.push_back(step);
  // The others still reach their own.
  for (int n : {0, 1, 2, 4, 5, 6, 7}) {
    steps.push_back("module:" + std::to_string(n));
    steps.push_back("call:TargetURL");
  }
  ChildRun run = RunChild("binder_child", steps);
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(Markers(run.output), (std::vector<int>{101, 102, 103, 104, 105, 106, 107, 108, 109, 101, 102, 103,
                                                   105, 106, 107, 108}));
}

TEST(FatalEnd, NoHostModule) {
  ChildRun run = RunChild("binder_child", {"call:TargetURL"});
  ExpectFatalEnd(run, "zentrov.lib was not called from a Zentro process.");
  EXPECT_THAT(run.output, Not(HasSubstr("TargetURL ")));
}

TEST(FatalEnd, MissingExport) {
  ChildRun run = RunChild("binder_child", {Load("binder_partial"), "module:0", "call:TargetURL",
                                           "call:DSDisposeHandle", "call:TargetURL"});
  ExpectFatalEnd(run,
                 "zentrov.lib was unable to locate a suitable location to resolve \"DSDisposeHandle\". This "
                 "may happen when too many instances of Zentro have been loaded into the same process.");
  EXPECT_THAT(run.output, HasSubstr("TargetURL 300"));
  EXPECT_THAT(run.output, Not(HasSubstr("DSDisposeHandle ")));
}

TEST(FatalEnd, NinthImageVersion) {
  if (!KRONEL_IMAGE_VERSIONS) GTEST_SKIP() << "modules carry no image version here";
  std::vector<std::string> steps;
  for (int n = 1; n <= 9; ++n) {
    steps.push_back(Load("binder_v" + std::to_string(n)));
    steps.push_back("module:" + std::to_string(n - 1));
    steps.push_back("call:TargetURL");
  }
  ChildRun run = RunChild("binder_child", steps);
  ExpectFatalEnd(run,
                 "zentrov.lib was unable to locate a suitable location to resolve \"TargetURL\". This may "
                 "happen when too many instances of Zentro have been loaded into the same process.");
  EXPECT_THAT(run.output, HasSubstr("TargetURL 108"));
  EXPECT_THAT(run.output, Not(HasSubstr("TargetURL 109")));
}

}  // namespace
}  // namespace hostbind_test
