#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "support/test_modules.h"

namespace {

using hostbind_test::RunChild;
using ::testing::HasSubstr;
using ::testing::Not;

enum class LastRelease { kPlugin, kEither };

hostbind_test::ChildRun RunScenario(const std::string& scenario, const std::string& profile) {
  const hostbind_test::ChildRun run = RunChild("unload_child", {scenario, profile});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_THAT(run.output, Not(HasSubstr("Unhandled")));
  return run;
}

// The image is kept for good exactly when the library dropped the last
// reference to the notifier on a thread of its own. Where the library may,
// whether it does is the threads' timing: usually it does, later than the plug-in.
void ExpectRun(const std::string& scenario, const std::string& profile, LastRelease last) {
  SCOPED_TRACE(scenario + " under " + profile);
  const hostbind_test::ChildRun run = RunScenario(scenario, profile);
  const bool libraryLast = run.output.find("the library dropped the notifier last") != std::string::npos;
  if (last == LastRelease::kPlugin) {
    EXPECT_FALSE(libraryLast) << run.output;
  }
  EXPECT_THAT(run.output, HasSubstr(libraryLast ? "kept loaded" : "unloaded")) << run.output;
}

// The last refresh worker gives the image back as it exits, wherever the
// host's FreeLibrary found it; a library that lets go of the notifier late,
// from a thread of its own, leaves the image pinned instead.
TEST(Unload, RefreshStillInsideTheLibrary) {
  for (const char* profile : {"default", "per-framework", "inline"}) {
    ExpectRun("refresh", profile, LastRelease::kPlugin);
  }
  ExpectRun("refresh", "adverse", LastRelease::kEither);
}

// A removal that waits lets the callback end first, and the image goes; one
// that does not leaves the library's thread to drop the last reference, and
// the image stays for good rather than be freed under that thread's feet.
TEST(Unload, NotificationUnderWay) {
  ExpectRun("notification", "default", LastRelease::kPlugin);
  ExpectRun("notification", "no-wait", LastRelease::kEither);
}

TEST(Unload, LibraryReleasesTheNotifierLate) {
  ExpectRun("late-release", "late-release", LastRelease::kEither);
}

// Neither the worker in the library nor the library's threads hold up the end.
TEST(Unload, ProcessEndsWithARefreshInFlight) {
  EXPECT_THAT(RunScenario("exit", "default").output, HasSubstr("exiting"));
}

}  // namespace
