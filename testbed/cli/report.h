#pragma once
// What a run shows, and the two ways of showing it (tables, JSON).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "change_script.h"
#include "explainer.h"

namespace kronel_names {

struct RunInfo {
  std::string version;
  std::string plugin;       // the path loaded
  std::string library;      // the path of the configuration library loaded
  bool installed = false;   // the installed library: no description, no simulation
  bool simulation = false;  // an installed library that exports the simulation's control API
  std::string hardware;     // the description's source name
  bool embedded = false;
  bool explain = false;
};

// One target's list as the plug-in delivered it.
struct TargetListing {
  std::string target;
  std::uint32_t appRef = 0;
  std::vector<std::int32_t> results;  // result codes seen, repeats collapsed
  std::optional<std::vector<std::string>> names;
  std::vector<std::optional<NameOrigin>> origins;  // beside names; none when no rule gives the name
  double milliseconds = 0;                         // from the first call until the list arrived
  std::string failure;                             // why no list arrived
  TargetExplanation explanation;
  // Whether the rules give this very list; not checked during a watch,
  // where the records may already have moved on.
  std::optional<bool> explained;
};

struct ListChange {
  std::vector<std::string> added;
  std::vector<std::string> removed;
};

class Report {
 public:
  virtual ~Report() = default;
  virtual void Lists(const std::vector<TargetListing>& listings) = 0;
  virtual void WatchBegins(const ChangeScript& script, const std::vector<std::string>& targets) = 0;
  virtual void StepApplied(double seconds, std::size_t number, const Step& step) = 0;
  // A failure for a while is over.
  virtual void StepEnded(double seconds, std::size_t number, const Step& step) = 0;
  virtual void NewList(double seconds, const TargetListing& listing, const ListChange& change) = 0;
  virtual void Failure(double seconds, const TargetListing& listing) = 0;
  // Calls the library answered with a failure since the last report; a
  // refresh that meets one keeps the list it had.
  virtual void LibraryFailures(double seconds, std::uint64_t failures, std::uint64_t total) = 0;
  virtual void WatchEnds(double seconds, bool interrupted) = 0;
};

// "\"\" (the local machine)" or "\"rt-a.lab\"".
std::string TargetTitle(const std::string& target);

// Control characters shown as \xNN, so that a name stays on its line.
std::string Printable(const std::string& text);

}  // namespace kronel_names
