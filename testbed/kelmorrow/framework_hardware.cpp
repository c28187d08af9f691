#include <algorithm>
#include <mutex>

#include "enum_string.h"
#include "framework.h"
#include "framework_support.h"
#include "operation.h"
#include "property_bag.h"

namespace kelmorrow {
namespace {

const platform::WideChar kLocalSource[] = {'k', 'e', 'l', 's', 'y', 's', 'c', 'f', 'g', 0};

// Records of a target, or none for a target the library does not know.
std::vector<RecordPtr> RecordsOf(const std::string& name) {
  auto& targets = Library::Instance().state().model.targets;
  auto found = targets.find(name);
  return found == targets.end() ? std::vector<RecordPtr>() : found->second.records;
}

}  // namespace

HRESULT Framework::FindHardware(const platform::WideChar* target, morrowkit::IqvSysEnumUnknown** records) {
  Clear(records);
  return Run("FindHardware", nullptr, [&]() -> HRESULT {
    if (target == nullptr || records == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    if (!name) return platform::kE_INVALIDARG;
    std::vector<RecordPtr> found;
    {
      std::lock_guard<std::mutex> lock(Library::Instance().mutex());
      auto& targets = Library::Instance().state().model.targets;
      auto entry = targets.find(*name);
      if (entry != targets.end()) {
        const Target& known = entry->second;
        if (known.findHardwareFailure) return *known.findHardwareFailure;
        if (known.findHardwareNull) return platform::kS_OK;
        if (!known.enabled) return kE_NotReady;
        found = known.records;
      }
    }
    *records = RecordEnumerator(found);
    return platform::kS_OK;
  });
}

HRESULT Framework::FindHardwareByModel(const platform::WideChar* target, std::uint32_t modelCode, void* reserved,
                                       morrowkit::IqvSysEnumUnknown** records) {
  Clear(records);
  return Run("FindHardwareByModel", nullptr, [&]() -> HRESULT {
    if (target == nullptr || records == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    if (!name || reserved != nullptr) return platform::kE_INVALIDARG;
    std::vector<RecordPtr> matching;
    {
      std::lock_guard<std::mutex> lock(Library::Instance().mutex());
      for (const RecordPtr& record : RecordsOf(*name)) {
        if (record->UInt32At(kTagModelCode) == modelCode) matching.push_back(record);
      }
    }
    *records = RecordEnumerator(matching);
    return platform::kS_OK;
  });
}

HRESULT Framework::GetSourceNames(const platform::WideChar* target, morrowkit::IqvSysEnumString** names) {
  Clear(names);
  return Run("GetSourceNames", nullptr, [&]() -> HRESULT {
    if (target == nullptr || names == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    if (!name) return platform::kE_INVALIDARG;
    std::vector<platform::WideString> sources;
    {
      std::lock_guard<std::mutex> lock(Library::Instance().mutex());
      for (const RecordPtr& record : RecordsOf(*name)) {
        auto end = record->properties.lower_bound(kTagSourceName + kMaxSourceNames);
        for (auto it = record->properties.lower_bound(kTagSourceName); it != end; ++it) {
          const platform::WideString* source = record->StringAt(it->first);
          if (source != nullptr && std::find(sources.begin(), sources.end(), *source) == sources.end()) {
            sources.push_back(*source);
          }
        }
      }
    }
    *names = EnumString::Create(std::move(sources));
    return platform::kS_OK;
  });
}

HRESULT Framework::FindHardwareByName(const platform::WideChar* resourceName, morrowkit::IqvSysPropertyBag** record) {
  Clear(record);
  return Run("FindHardwareByName", nullptr, [&]() -> HRESULT {
    if (resourceName == nullptr || record == nullptr) return platform::kE_POINTER;
    platform::WideString wanted(resourceName);
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    for (const auto& entry : Library::Instance().state().model.targets) {
      for (const RecordPtr& candidate : entry.second.records) {
        const platform::WideString* name = candidate->StringAt(kTagResourceName);
        if (name != nullptr && *name == wanted) return HandBag(candidate, record);
      }
    }
    return kE_ElementNotFound;
  });
}

HRESULT Framework::GetComponents(const platform::WideChar* target, morrowkit::IqvSysEnumUnknown** components) {
  Clear(components);
  return Run("GetComponents", nullptr, [&]() -> HRESULT {
    if (target == nullptr || components == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    if (!name) return platform::kE_INVALIDARG;
    std::vector<RecordPtr> records;
    {
      std::lock_guard<std::mutex> lock(Library::Instance().mutex());
      records = RecordsOf(*name);
    }
    *components = RecordEnumerator(records);
    return platform::kS_OK;
  });
}

HRESULT Framework::SelectProperties(morrowkit::IqvSysPropertyBag* record, const std::uint32_t* tags,
                                    std::uint32_t count, std::int32_t keepOthers) {
  return Run("SelectProperties", nullptr, [&]() -> HRESULT {
    if (record == nullptr || tags == nullptr) return platform::kE_POINTER;
    PropertyBag* bag = PropertyBag::Find(record);
    if (bag == nullptr || count == 0 || !IsFlag(keepOthers)) return platform::kE_INVALIDARG;
    std::vector<std::uint32_t> listed(tags, tags + count);
    std::sort(listed.begin(), listed.end());
    listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    auto& properties = bag->record()->properties;
    HRESULT present = 0;
    for (auto it = properties.begin(); it != properties.end();) {
      if (std::binary_search(listed.begin(), listed.end(), it->first)) {
        ++present;
        ++it;
      } else if (keepOthers == 0) {
        it = properties.erase(it);
        Library::Instance().state().saved = false;
      } else {
        ++it;
      }
    }
    return present;
  });
}

HRESULT Framework::GetLocalSystem(morrowkit::IqvSysPropertyBag** record) {
  Clear(record);
  return Run("GetLocalSystem", nullptr, [&]() -> HRESULT {
    if (record == nullptr) return platform::kE_POINTER;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    for (const RecordPtr& candidate : RecordsOf(std::string())) {
      const platform::WideString* source = candidate->StringAt(kTagSourceName);
      if (source != nullptr && *source == kLocalSource) return HandBag(candidate, record);
    }
    return kE_ElementNotFound;
  });
}

HRESULT Framework::FindAllHardware(morrowkit::IqvSysEnumUnknown** records) {
  Clear(records);
  return Run("FindAllHardware", nullptr, [&]() -> HRESULT {
    if (records == nullptr) return platform::kE_POINTER;
    std::vector<RecordPtr> all;
    {
      std::lock_guard<std::mutex> lock(Library::Instance().mutex());
      for (const auto& entry : Library::Instance().state().model.targets) {
        all.insert(all.end(), entry.second.records.begin(), entry.second.records.end());
      }
    }
    *records = RecordEnumerator(all);
    return platform::kS_OK;
  });
}

}  // namespace kelmorrow
