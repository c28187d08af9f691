#pragma once
// The behaviours of the configuration library that its contract leaves
// open. Each plug-in suite runs once per profile, named by the environment
// variable KRONEL_LIBRARY_PROFILE (the CTest test names carry it).
#include <string>
#include <vector>

namespace road {

struct LibraryProfile {
  std::string name;
  std::string settings;  // the simulated library's profile, as JSON
};

const std::vector<LibraryProfile>& LibraryProfiles();

// The profile of that name, or null.
const LibraryProfile* FindProfile(const std::string& name);

// The profile this run is for: "default" when none is named. Fails the
// test for a name that is no profile.
const LibraryProfile& ProfileOfThisRun();

// Sets the simulated library to behave as the profile says.
void ApplyProfile(const LibraryProfile& profile);

// True when the library hands out one framework object to every caller.
bool SharesFrameworks(const LibraryProfile& profile);

// The share of a time budget that one profile's run should take.
double ShareOfEachProfile(double seconds);

}  // namespace road
