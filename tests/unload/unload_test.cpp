#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "library_profiles.h"
#include "support/test_modules.h"

namespace {

using hostbind_test::RunChild;
using ::testing::HasSubstr;

hostbind_test::ChildRun RunScenario(const std::string& scenario, const std::string& profile) {
  const hostbind_test::ChildRun run = RunChild("unload_child", {scenario, profile});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  return run;
}

// The host frees the plug-in with a refresh inside the library, with a
// notification under way, or with only the notifier in the library's hands:
// the image stays, pinned, the work ends, the library lets go of everything,
// and loading again gives that image, which starts afresh.
TEST(Unload, FreedWithWorkInFlightUnderEveryProfile) {
  for (const road::LibraryProfile& profile : road::LibraryProfiles()) {
    for (const char* scenario : {"refresh", "notification", "idle"}) {
      SCOPED_TRACE(std::string(scenario) + " under " + profile.name);
      EXPECT_THAT(RunScenario(scenario, profile.name).output, HasSubstr("pinned"));
    }
  }
}

// Neither the worker in the library nor the library's threads hold up the end.
TEST(Unload, ProcessEndsWithARefreshInFlight) {
  EXPECT_THAT(RunScenario("exit", "default").output, HasSubstr("exiting"));
}

}  // namespace
