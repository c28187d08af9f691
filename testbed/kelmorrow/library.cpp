#include "library.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "json_reader.h"
#include "ref_count.h"
#include "text_convert.h"

namespace kelmorrow {
namespace {

void AppendNew(std::vector<platform::WideString>& names, const platform::WideString& name) {
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

std::atomic<Library*> g_library{nullptr};

struct UnloadGuard {
  ~UnloadGuard() { Library::Unload(); }
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
  if (library->notifier_.Abandon() && RefCount::LiveObjects() == 0 && g_library.exchange(nullptr) == library) {
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
  std::lock_guard<std::mutex> lock(mutex_);
  state_.model = std::move(model);
  state_.reservations.clear();
  state_.saved = true;
}

std::vector<platform::WideString> Library::ResourceNames(const std::vector<RecordPtr>& records) {
  std::vector<platform::WideString> names;
  for (const RecordPtr& record : records) {
    if (const platform::WideString* name = record->StringAt(kTagResourceName)) AppendNew(names, *name);
  }
  return names;
}

void Library::ApplyChange(const std::string& target, const Change& change, const std::string& source) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& targets = state_.model.targets;
  std::vector<platform::WideString> names;
  if (change.kind == morrowkit::kChangeRecordsRemoved) {
    auto found = targets.find(target);
    std::vector<RecordPtr> kept = found == targets.end() ? std::vector<RecordPtr>() : found->second.records;
    for (const auto& [name, position] : change.removals) {
      auto named = [&](const RecordPtr& record) {
        const platform::WideString* resource = record->StringAt(kTagResourceName);
        return resource != nullptr && *resource == name;
      };
      if (std::none_of(kept.begin(), kept.end(), named)) {
        bool exact = true;
        throw DescriptionError(json::FormatError(source, position,
                                                 "no record named \"" + ToUtf8Lossy(name, exact) +
                                                     "\" on the target \"" + target + "\""));
      }
      kept.erase(std::remove_if(kept.begin(), kept.end(), named), kept.end());
      AppendNew(names, name);
    }
    if (found != targets.end()) found->second.records = std::move(kept);
  } else {
    Target& changed = targets[target];
    if (change.kind == morrowkit::kChangeRecordsAdded) {
      names = ResourceNames(change.records);
      changed.records.insert(changed.records.end(), change.records.begin(), change.records.end());
    } else {
      names = ResourceNames(changed.records);
      for (const platform::WideString& name : ResourceNames(change.records)) AppendNew(names, name);
      changed.records = change.records;
    }
  }
  state_.saved = false;
  notifier_.Post(target, change.kind, std::move(names));
}

void Library::Reset() {
  notifier_.Stop();
  notifier_.ResetStatistics();
  control_.Reset();
  std::lock_guard<std::mutex> lock(mutex_);
  state_ = LibraryState();
}

void Library::Shutdown() { notifier_.Stop(); }


}  // namespace kelmorrow
