#include "session.h"

#include <algorithm>
#include <stdexcept>
#include <thread>

#include "interrupt.h"
#include "library_activity.h"

namespace kronel_names {
namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kPollInterval = std::chrono::milliseconds(2);
// How long the library must stay untouched before a list counts as final: a
// call made while the first refresh runs is answered with the empty list the
// new cache holds, and the real one follows.
constexpr auto kSettle = std::chrono::milliseconds(100);
constexpr auto kPatience = std::chrono::seconds(10);
// A list the rules do not give yet may be the empty one of a refresh still
// running, so the next is awaited: an installed library shows no activity,
// and a refresh may spend longer than kSettle in the plug-in's own code
// between two library calls (a name of a megabyte, under a sanitizer).
constexpr auto kUnexplainedPatience = std::chrono::seconds(2);
// A worker may still sleep in the longest latency a script can set.
constexpr auto kReleasePatience = std::chrono::milliseconds(kMaxLatencyMs) + std::chrono::seconds(10);

double Seconds(Clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

void Note(std::vector<std::int32_t>& results, std::int32_t result) {
  if (results.empty() || results.back() != result) results.push_back(result);
}

std::vector<std::string> Without(const std::vector<std::string>& from,
                                 const std::vector<std::string>& these) {
  std::vector<std::string> rest;
  for (const std::string& name : from) {
    if (std::find(these.begin(), these.end(), name) == these.end()) rest.push_back(name);
  }
  return rest;
}

}  // namespace

Session::Session(PluginHost& host, Hardware* hardware, const SimulationControl* control, Report& report,
                 const std::vector<std::string>& targets)
    : host_(host), hardware_(hardware), control_(control), report_(report) {
  for (std::size_t i = 0; i < targets.size(); ++i) {
    Watched watched;
    watched.listing.target = targets[i];
    watched.listing.appRef = static_cast<std::uint32_t>(i + 1);
    host_.Serve(watched.listing.appRef, targets[i]);
    watched_.push_back(std::move(watched));
  }
}

Session::Outcome Session::Ask(Watched& watched, std::vector<std::string>& previous) {
  TargetListing& listing = watched.listing;
  const PluginHost::Answer answer = host_.Ask(listing.appRef);
  Note(listing.results, answer.result);
  switch (answer.result) {
    case kResultWritten:
      previous = listing.names ? *listing.names : std::vector<std::string>();
      listing.names = answer.names;
      return Outcome::kList;
    case kResultPending:
      return Outcome::kPending;
    case kResultUnchanged:
      return Outcome::kQuiet;
    default:
      watched.failed = true;
      listing.failure =
          "the plug-in answered " + std::to_string(answer.result) + " (" + ResultName(answer.result) + ")";
      return Outcome::kFailed;
  }
}

bool Session::RulesGiveTheList(const TargetListing& listing) {
  // No list was delivered before, so a refresh that stops leaves the empty one.
  std::vector<std::string> expected;
  if (listing.explanation.RefreshSucceeds()) {
    for (const auto& named : listing.explanation.names) expected.push_back(named.first);
  }
  return listing.names && *listing.names == expected;
}

void Session::Explain(Watched& watched) {
  TargetListing& listing = watched.listing;
  const std::vector<std::string> places =
      hardware_ != nullptr ? hardware_->Places(listing.target) : std::vector<std::string>();
  listing.explanation = kronel_names::Explain(listing.target, places);
  for (const RecordExplanation& record : listing.explanation.records) {
    for (const auto& [name, origin] : record.names) watched.origins.emplace(name, origin);
  }
  listing.origins.clear();
  if (!listing.names) return;
  for (const std::string& name : *listing.names) {
    auto current = listing.explanation.names.find(name);
    auto earlier = watched.origins.find(name);
    if (current != listing.explanation.names.end()) {
      listing.origins.emplace_back(current->second);
    } else if (earlier != watched.origins.end()) {
      listing.origins.emplace_back(earlier->second);
    } else {
      listing.origins.emplace_back(std::nullopt);
    }
  }
}

bool Session::ListAll() {
  const Clock::time_point start = Clock::now();
  LibraryActivity activity = ReadLibraryActivity(control_);
  Clock::time_point quietSince = start;
  for (;;) {
    const Clock::time_point now = Clock::now();
    bool complete = true;
    for (Watched& watched : watched_) {
      if (watched.failed) continue;
      std::vector<std::string> previous;
      const Outcome outcome = Ask(watched, previous);
      if (outcome == Outcome::kList) {
        watched.listing.milliseconds = Seconds(now - start) * 1000;
        quietSince = now;
        watched.listedAt = now;
        Explain(watched);
        watched.settled = RulesGiveTheList(watched.listing);
      }
      const bool settled = watched.settled || now - watched.listedAt >= kUnexplainedPatience;
      complete = complete && (watched.failed || (watched.listing.names && settled));
    }
    LibraryActivity current = ReadLibraryActivity(control_);
    if (current != activity) {
      activity = std::move(current);
      quietSince = now;
    }
    if (complete && now - quietSince >= kSettle) break;
    if (now - start >= kPatience) {
      for (Watched& watched : watched_) {
        if (watched.failed || watched.listing.names) continue;
        watched.failed = true;
        watched.listing.failure = "no list arrived within " + std::to_string(kPatience.count()) + " s";
      }
      break;
    }
    if (Interrupted()) {
      interrupted_ = true;
      break;
    }
    std::this_thread::sleep_for(kPollInterval);
  }

  const std::size_t problemsBefore = problems_.size();
  std::vector<TargetListing> listings;
  for (Watched& watched : watched_) {
    Explain(watched);
    TargetListing& listing = watched.listing;
    if (listing.names) {
      listing.explained = RulesGiveTheList(listing);
      if (!*listing.explained) {
        problems_.push_back("target " + TargetTitle(listing.target) +
                            ": the discovery rules do not give the list the plug-in delivered");
      }
    }
    if (listing.explanation.libraryFailed) {
      problems_.push_back("target " + TargetTitle(listing.target) +
                          ": the library failed: " + listing.explanation.failure);
    }
    if (watched.failed) problems_.push_back("target " + TargetTitle(listing.target) + ": " + listing.failure);
    listings.push_back(listing);
  }
  if (!interrupted_) report_.Lists(listings);
  return problems_.size() == problemsBefore;
}

void Session::Apply(const Step& step, const std::string& source) {
  char error[1024] = "";
  int32_t status = 0;
  switch (step.action) {
    case StepAction::kAdd:
    case StepAction::kRemove:
    case StepAction::kReplace:
      status = control_->applyChange(step.target.c_str(), step.change.c_str(), source.c_str(), error,
                                     sizeof error);
      if (status == 0 && hardware_ != nullptr)
        hardware_->Apply(step.target, kelmorrow::LoadChange(step.change, source), step.records, source);
      break;
    case StepAction::kFail:
      status = step.EndsByItself() ? control_->setFailureFor(step.operation.c_str(), step.ForMilliseconds(),
                                                             step.result, error, sizeof error)
                                   : control_->setFailure(step.operation.c_str(), step.call, step.result, error,
                                                          sizeof error);
      break;
    case StepAction::kSlow:
      status = control_->setLatency(step.operation.c_str(), step.milliseconds, error, sizeof error);
      slowed_.insert(step.operation);
      break;
    case StepAction::kClearFailures:
      control_->clearFailures();
      break;
    case StepAction::kRestart:
      control_->restartService();
      break;
    case StepAction::kProfile:
      status = control_->changeProfile(step.profile.c_str(), error, sizeof error);
      break;
  }
  // The script was tried on the library before the run, so this is not the input's fault.
  if (status != 0) throw std::runtime_error("the library refused step at " + step.where + ": " + error);
}

bool Session::Watch(const ChangeScript& script) {
  std::vector<std::string> targets;
  for (const Watched& watched : watched_) targets.push_back(watched.listing.target);
  report_.WatchBegins(script, targets);

  bool ok = true;
  const Clock::time_point start = Clock::now();
  LibraryActivity activity = ReadLibraryActivity(control_);
  Clock::time_point quietSince = start;
  std::size_t next = 0;
  // Failures for a while, by the time they end (counted from when the library took them) and step.
  std::multimap<double, std::size_t> ending;
  std::uint64_t failures = control_->failureCount();
  for (;;) {
    const Clock::time_point now = Clock::now();
    const double elapsed = Seconds(now - start);
    for (; next < script.steps.size() && script.steps[next].at <= elapsed; ++next) {
      const Step& step = script.steps[next];
      Apply(step, script.source);
      report_.StepApplied(elapsed, next + 1, step);
      if (step.EndsByItself()) ending.emplace(Seconds(Clock::now() - start) + step.forSeconds, next);
      if (step.action == StepAction::kClearFailures) ending.clear();
      quietSince = now;
    }
    while (!ending.empty() && ending.begin()->first <= elapsed) {
      const std::size_t number = ending.begin()->second;
      ending.erase(ending.begin());
      report_.StepEnded(elapsed, number + 1, script.steps[number]);
    }
    for (Watched& watched : watched_) {
      if (watched.failed) continue;
      std::vector<std::string> previous;
      const Outcome outcome = Ask(watched, previous);
      if (outcome == Outcome::kList) {
        Explain(watched);
        ListChange change{Without(*watched.listing.names, previous),
                          Without(previous, *watched.listing.names)};
        report_.NewList(elapsed, watched.listing, change);
      } else if (outcome == Outcome::kFailed) {
        report_.Failure(elapsed, watched.listing);
        problems_.push_back("target " + TargetTitle(watched.listing.target) + ": " + watched.listing.failure);
        ok = false;
      }
      if (outcome != Outcome::kQuiet) quietSince = now;
    }
    const std::uint64_t failed = control_->failureCount();
    if (failed != failures) {
      report_.LibraryFailures(elapsed, failed - failures, failed);
      failures = failed;
    }
    LibraryActivity current = ReadLibraryActivity(control_);
    if (current != activity) {
      activity = std::move(current);
      quietSince = now;
    }
    const bool scriptDone = next == script.steps.size() && elapsed >= script.end;
    if (scriptDone && (now - quietSince >= kSettle || elapsed >= script.end + Seconds(kPatience))) break;
    if (Interrupted()) {
      interrupted_ = true;
      break;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  report_.WatchEnds(Seconds(Clock::now() - start), interrupted_);
  return ok;
}

bool Session::Close() {
  if (control_ != nullptr) {
    control_->clearFailures();
    for (const std::string& operation : slowed_) control_->setLatency(operation.c_str(), 0, nullptr, 0);
  }
  std::vector<std::uint32_t> appRefs;
  for (const Watched& watched : watched_) appRefs.push_back(watched.listing.appRef);
  return host_.Release(appRefs, kReleasePatience, control_ != nullptr ? control_->liveObjects : nullptr);
}

}  // namespace kronel_names
