#include "library.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <set>
#include <utility>

#include "json_reader.h"
#include "platform/lifetime.h"
#include "ref_count.h"
#include "text_convert.h"

namespace kelmorrow {
namespace {

// Names in order without repeats; a set, since targets may hold very many records.
class NameList {
 public:
  void Add(const platform::WideString& name) {
    if (seen_.insert(name).second) names_.push_back(name);
  }
  std::vector<platform::WideString> Take() { return std::move(names_); }

 private:
  std::vector<platform::WideString> names_;
  std::set<platform::WideString> seen_;
};

std::atomic<Library*> g_library{nullptr};

// At the end of the process the other threads are gone, perhaps inside the
// library's locks: everything is left as it is.
struct UnloadGuard {
  ~UnloadGuard() {
    if (!platform::ProcessIsEnding()) Library::Unload();
  }
} g_unloadGuard;

}  // namespace

Library& Library::Instance() {
  Library* library = g_library.load();
  if (library == nullptr) {
    auto* created = new Library;
    if (g_library.compare_exchange_strong(library, created)) {
      library = created;
    } else {
      delete created;
    }
  }
  return *library;
}

void Library::Unload() {
  Library* library = g_library.load();
  if (library == nullptr) return;
  // A parked delivery thread, or a caller still holding one of the library's
  // objects, may touch the state at any time: it then stays for good.
  if (library->notifier_.Abandon() && RefCount::LiveObjects() == 0 &&
      g_library.exchange(nullptr) == library) {
    delete library;
  }
}

void Library::AddBag(const morrowkit::IqvSysPropertyBag* bag) {
  std::lock_guard<std::mutex> lock(bagsMutex_);
  bags_.insert(bag);
}

void Library::RemoveBag(const morrowkit::IqvSysPropertyBag* bag) {
  std::lock_guard<std::mutex> lock(bagsMutex_);
  bags_.erase(bag);
}

bool Library::IsBag(const morrowkit::IqvSysPropertyBag* bag) {
  std::lock_guard<std::mutex> lock(bagsMutex_);
  return bags_.count(bag) != 0;
}

void Library::Load(Model model) {
  std::optional<Profile> profile = model.profile;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.model = std::move(model);
    state_.reservations.clear();
    state_.saved = true;
  }
  if (profile) SetProfile(*profile);
}

std::vector<platform::WideString> Library::ResourceNames(const std::vector<RecordPtr>& records) {
  NameList names;
  for (const RecordPtr& record : records) {
    if (const platform::WideString* name = record->StringAt(kTagResourceName)) names.Add(*name);
  }
  return names.Take();
}

std::pair<std::vector<RecordPtr>, std::vector<platform::WideString>> Library::Changed(
    const std::string& target, const Change& change, const std::string& source) {
  auto& targets = state_.model.targets;
  auto found = targets.find(target);
  std::vector<RecordPtr> records = found == targets.end() ? std::vector<RecordPtr>() : found->second.records;
  NameList names;
  if (change.kind == morrowkit::kChangeRecordsRemoved) {
    for (const auto& removal : change.removals) {
      // Not a structured binding: C++17 lets no lambda capture one (clang holds to that).
      const auto& name = removal.first;
      const auto& position = removal.second;
      auto named = [&](const RecordPtr& record) {
        const platform::WideString* resource = record->StringAt(kTagResourceName);
        return resource != nullptr && *resource == name;
      };
      if (std::none_of(records.begin(), records.end(), named)) {
        bool exact = true;
        throw DescriptionError(json::FormatError(
            source, position,
            "no record named \"" + ToUtf8Lossy(name, exact) + "\" on the target \"" + target + "\""));
      }
      records.erase(std::remove_if(records.begin(), records.end(), named), records.end());
      names.Add(name);
    }
  } else if (change.kind == morrowkit::kChangeRecordsAdded) {
    for (const platform::WideString& name : ResourceNames(change.records)) names.Add(name);
    records.insert(records.end(), change.records.begin(), change.records.end());
  } else {
    for (const platform::WideString& name : ResourceNames(records)) names.Add(name);
    for (const platform::WideString& name : ResourceNames(change.records)) names.Add(name);
    records = change.records;
  }
  return {std::move(records), names.Take()};
}

void Library::ApplyChange(const std::string& target, const Change& change, const std::string& source) {
  std::vector<platform::WideString> names;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto changed = Changed(target, change, source);
    // A removal leaves a target it does not know as it is: absent.
    if (change.kind != morrowkit::kChangeRecordsRemoved || state_.model.targets.count(target) != 0) {
      state_.model.targets[target].records = std::move(changed.first);
    }
    names = std::move(changed.second);
    state_.saved = false;
  }
  // Inline delivery calls the handlers from here: no lock may be held.
  notifier_.Post(target, change.kind, std::move(names));
}

void Library::ApplyChangeDuring(const std::string& operation, const std::string& target, Change change,
                                const std::string& source) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Changed(target, change, source);
  }
  scheduled_.Add({operation, target, std::move(change), source});
}

void Library::ApplyScheduled(const char* operation) {
  for (ScheduledChange& due : scheduled_.TakeFor(operation)) {
    try {
      ApplyChange(due.target, due.change, due.source);
    } catch (...) {
      // A removal whose records went meanwhile: nothing to apply.
    }
  }
}

void Library::EnterCallback() {
  control_.Enter(kCallbackOperation);
  ApplyScheduled(kCallbackOperation);
}

void Library::SetProfile(const Profile& profile) { notifier_.SetProfile(profile); }

void Library::ChangeProfile(std::string_view text, const std::string& source) {
  notifier_.ChangeProfile([&](const Profile& current) { return LoadProfile(text, source, current); });
}

Profile Library::profile() { return notifier_.profile(); }

void Library::RestartService() { notifier_.Restart(); }

void Library::Reset() {
  scheduled_.Clear();
  SetProfile(Profile());
  notifier_.Stop();
  notifier_.ResetStatistics();
  control_.Reset();
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = LibraryState();
}

void Library::Shutdown() { notifier_.Stop(); }

}  // namespace kelmorrow
