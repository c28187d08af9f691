#include "hardware.h"

#include <algorithm>

#include "json_reader.h"

namespace kronel_names {
namespace {

using kelmorrow::json::Value;

std::vector<SourcedRecord> Sourced(const std::vector<kelmorrow::RecordPtr>& records, const Value* items,
                                   const std::string& source) {
  std::vector<SourcedRecord> sourced;
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::string where;
    if (items != nullptr && i < items->items.size()) where = Where(source, items->items[i].position);
    sourced.push_back({records[i], where});
  }
  return sourced;
}

}  // namespace

std::string Where(const std::string& source, kelmorrow::json::Position position) {
  return source + ":" + std::to_string(position.line) + ":" + std::to_string(position.column);
}

Hardware::Hardware(std::string_view text, std::string source) {
  kelmorrow::Model model = kelmorrow::LoadDescription(text, source);
  // The loader has accepted the text, so it parses; this pass is for the places.
  const Value root = kelmorrow::json::Parse(text);
  const kelmorrow::json::Member* described = root.Find("targets");
  if (described == nullptr) return;
  for (const kelmorrow::json::Member& member : described->value.members) {
    const kelmorrow::Target& loaded = model.targets.at(member.key);
    const kelmorrow::json::Member* records = member.value.Find("records");
    targets_[member.key] = Sourced(loaded.records, records != nullptr ? &records->value : nullptr, source);
    order_.push_back(member.key);
  }
}

std::vector<std::string> Hardware::Places(const std::string& name) const {
  std::vector<std::string> places;
  auto found = targets_.find(name);
  if (found == targets_.end()) return places;
  for (const SourcedRecord& sourced : found->second) {
    if (!sourced.record->refusesPropertyBag) places.push_back(sourced.where);
  }
  return places;
}

void Hardware::Apply(const std::string& target, const kelmorrow::Change& change, const Value& records,
                     const std::string& source) {
  if (change.kind == morrowkit::kChangeRecordsRemoved) {
    auto found = targets_.find(target);
    if (found == targets_.end()) return;
    std::vector<SourcedRecord>& kept = found->second;
    for (const auto& removal : change.removals) {
      kept.erase(std::remove_if(kept.begin(), kept.end(),
                                [&](const SourcedRecord& sourced) {
                                  const platform::WideString* name =
                                      sourced.record->StringAt(kelmorrow::kTagResourceName);
                                  return name != nullptr && *name == removal.first;
                                }),
                 kept.end());
    }
    return;
  }
  std::vector<SourcedRecord> changed = Sourced(change.records, &records, source);
  std::vector<SourcedRecord>& entry = targets_[target];
  if (change.kind == morrowkit::kChangeRecordsAdded) {
    entry.insert(entry.end(), changed.begin(), changed.end());
  } else {
    entry = std::move(changed);
  }
}

}  // namespace kronel_names
