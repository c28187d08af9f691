#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "support/test_modules.h"

namespace {

using hostbind_test::RunChild;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

void ExpectRun(const std::string& scenario, const std::string& profile, const std::string& lastLine) {
  SCOPED_TRACE(scenario + " under " + profile);
  const hostbind_test::ChildRun run = RunChild("unload_child", {scenario, profile});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_THAT(run.output, Not(HasSubstr("Unhandled")));
  EXPECT_THAT(run.output, HasSubstr(lastLine)) << run.output;
}

// The last refresh worker gives the image back as it exits, wherever the
// host's FreeLibrary found it; a library that lets go of the notifier late,
// from a thread of its own, leaves the image pinned instead.
TEST(Unload, RefreshStillInsideTheLibrary) {
  for (const char* profile : {"default", "per-framework", "inline"}) ExpectRun("refresh", profile, "unloaded");
  ExpectRun("refresh", "adverse", "kept loaded");
}

// A removal that waits lets the callback end first, and the image goes; one
// that does not leaves the library's thread to drop the last reference, and
// the image stays for good rather than be freed under that thread's feet.
TEST(Unload, NotificationUnderWay) {
  ExpectRun("notification", "default", "unloaded");
  ExpectRun("notification", "no-wait", "kept loaded");
}

TEST(Unload, LibraryReleasesTheNotifierLate) { ExpectRun("late-release", "late-release", "kept loaded"); }

// Neither the worker in the library nor the library's threads hold up the end.
TEST(Unload, ProcessEndsWithARefreshInFlight) { ExpectRun("exit", "default", "exiting"); }

}  // namespace
