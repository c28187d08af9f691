#include "library_profiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "sim_library.h"

namespace road {

const std::vector<LibraryProfile>& LibraryProfiles() {
  // Every switch alone, then all that can make a plug-in fail at once.
  static const std::vector<LibraryProfile> profiles = {
      {"default", "{}"},
      {"per-framework", R"({"registrations": "per-framework"})"},
      {"no-wait", R"({"removal": "does-not-wait"})"},
      {"inline", R"({"delivery": "inline"})"},
      {"shared", R"({"frameworks": "shared"})"},
      {"late-release", R"({"late-release-ms": 40})"},
      {"adverse", R"({"registrations": "per-framework", "removal": "does-not-wait", "delivery": "inline",)"
                  R"( "late-release-ms": 40})"},
  };
  return profiles;
}

const LibraryProfile* FindProfile(const std::string& name) {
  for (const LibraryProfile& profile : LibraryProfiles()) {
    if (profile.name == name) return &profile;
  }
  return nullptr;
}

const LibraryProfile& ProfileOfThisRun() {
  const char* name = std::getenv("KRONEL_LIBRARY_PROFILE");
  const std::string wanted = name != nullptr && *name != '\0' ? name : "default";
  if (const LibraryProfile* profile = FindProfile(wanted)) return *profile;
  ADD_FAILURE() << "no library profile \"" << wanted << "\"";
  return LibraryProfiles().front();
}

void ApplyProfile(const LibraryProfile& profile) {
  SCOPED_TRACE(profile.name);
  test_support::kelsim::SetProfile(profile.settings);
}

bool SharesFrameworks(const LibraryProfile& profile) {
  return profile.settings.find(R"("frameworks": "shared")") != std::string::npos;
}

double ShareOfEachProfile(double seconds) {
  if (std::getenv("KRONEL_LIBRARY_PROFILE") == nullptr) return seconds;
  return std::max(1.0, seconds / double(LibraryProfiles().size()));
}

}  // namespace road
