#pragma once
// A run against the plug-in: every target's first list, then, with a change
// script, each new list as the changes reach it.
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "change_script.h"
#include "hardware.h"
#include "morrow_library.h"
#include "plugin_host.h"
#include "report.h"

namespace kronel_names {

class Session {
 public:
  // Without a description (`hardware` null) the records have no places;
  // without a control API (`control` null) there is no activity to watch
  // and no script to replay.
  Session(PluginHost& host, Hardware* hardware, const SimulationControl* control, Report& report,
          const std::vector<std::string>& targets);

  // Asks every target until its list has arrived and the library has gone
  // quiet. False when the plug-in failed a target.
  bool ListAll();
  // Replays the script; needs the control API. False when the plug-in failed a target.
  bool Watch(const ChangeScript& script);
  // Releases every application reference and waits for the library to let
  // go of everything. False when it does not.
  bool Close();

  bool interrupted() const { return interrupted_; }
  // What went wrong, one line each, for standard error.
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  struct Watched {
    TargetListing listing;
    bool failed = false;
    std::map<std::string, NameOrigin> origins;  // every name a rule has given so far
    // Without the library's activity to watch: whether the last list is the
    // one the rules give, and when it came.
    bool settled = false;
    std::chrono::steady_clock::time_point listedAt;
  };

  enum class Outcome { kQuiet, kPending, kList, kFailed };

  // One call for the target; a new list replaces the listing's names and
  // leaves the ones before it in `previous`.
  Outcome Ask(Watched& watched, std::vector<std::string>& previous);
  // Explains the target's records as they stand and names the origins of the listed names.
  void Explain(Watched& watched);
  // Whether the rules, applied to the records as they stand, give the listed names.
  static bool RulesGiveTheList(const TargetListing& listing);
  void Apply(const Step& step, const std::string& source);

  PluginHost& host_;
  Hardware* hardware_;
  const SimulationControl* control_;
  Report& report_;
  std::vector<Watched> watched_;
  bool interrupted_ = false;
  std::vector<std::string> problems_;
  std::set<std::string> slowed_;
};

}  // namespace kronel_names
