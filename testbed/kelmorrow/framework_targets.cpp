#include <mutex>

#include "framework.h"
#include "framework_support.h"
#include "operation.h"
#include "text_convert.h"
#include "value_format.h"

namespace kelmorrow {
namespace {

constexpr std::uint32_t kResolveInEveryTarget = 1;

Target* FindTarget(const std::string& name) {
  auto& targets = Library::Instance().state().model.targets;
  auto found = targets.find(name);
  return found == targets.end() ? nullptr : &found->second;
}

std::string Describe(const std::string& name, const Target& target, bool verbose, std::uint32_t depth) {
  bool exact = true;
  std::string text = "target \"" + name + "\": " + std::to_string(target.records.size()) + " records, " +
                     (target.enabled ? "enabled" : "disabled") + ", host \"" + ToUtf8Lossy(target.hostName, exact) +
                     "\", description \"" + ToUtf8Lossy(target.description, exact) + "\"\n";
  if (!verbose) return text;
  for (std::size_t i = 0; i < target.records.size(); ++i) {
    const Record& record = *target.records[i];
    const platform::WideString* resource = record.StringAt(kTagResourceName);
    text += "record " + std::to_string(i + 1) + ": " +
            (resource != nullptr ? "\"" + ToUtf8Lossy(*resource, exact) + "\"" : std::string("(no resource name)")) +
            ", " + std::to_string(record.properties.size()) + " properties\n";
    if (depth == 0) continue;
    for (const auto& [tag, property] : record.properties) {
      text += "  " + HexText(tag) + " " + TypeName(property.type);
      if (property.hasValue) text += " " + FormatValue(property, exact);
      text += "\n";
    }
  }
  return text;
}

}  // namespace

HRESULT Framework::SetNotificationHandler(const platform::WideChar* target,
                                          morrowkit::IqvSysNotificationHandler* handler, void* context) {
  return Run("SetNotificationHandler", nullptr, [&]() -> HRESULT {
    if (target == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    if (!name) return platform::kE_INVALIDARG;
    Library& library = Library::Instance();
    std::vector<platform::WideString> names;
    // Only inline delivery calls a new registration at once.
    if (handler != nullptr && library.profile().delivery == Profile::Delivery::kInline) {
      std::lock_guard<std::mutex> lock(library.mutex());
      if (Target* known = FindTarget(*name)) names = Library::ResourceNames(known->records);
    }
    return library.notifier().SetHandler(*name, serial_, service_, handler, context, std::move(names));
  });
}

HRESULT Framework::RefreshTarget(const platform::WideChar* target, std::uint32_t timeoutMs) {
  return Run("RefreshTarget", nullptr, [&]() -> HRESULT {
    if (target == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    if (!name) return platform::kE_INVALIDARG;
    Library& library = Library::Instance();
    std::vector<platform::WideString> names;
    {
      std::lock_guard<std::mutex> lock(library.mutex());
      Target* known = FindTarget(*name);
      if (known == nullptr) return kE_ElementNotFound;
      names = Library::ResourceNames(known->records);
    }
    library.notifier().Post(*name, morrowkit::kChangeRecordsReplaced, std::move(names));
    if (timeoutMs != 0 && !Notifier::InsideCallback() && !library.notifier().WaitIdle(timeoutMs)) {
      return kE_Timeout;
    }
    return platform::kS_OK;
  });
}

HRESULT Framework::ResolveAlias(const platform::WideChar* target, const platform::WideChar* alias,
                                std::uint32_t options, std::int32_t* found, BSTR* resourceName, BSTR* targetName) {
  Clear(found);
  Clear(resourceName);
  Clear(targetName);
  return Run("ResolveAlias", nullptr, [&]() -> HRESULT {
    if (target == nullptr || alias == nullptr || found == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    if (!name || (options & ~kResolveInEveryTarget) != 0) return platform::kE_INVALIDARG;
    platform::WideString wanted(alias);
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    Target* first = FindTarget(*name);
    if (first == nullptr && (options & kResolveInEveryTarget) == 0) return kE_ElementNotFound;
    auto resolve = [&](const std::string& where, const Target& candidate) {
      auto entry = candidate.aliases.find(wanted);
      if (entry == candidate.aliases.end()) return false;
      Bstr resource(entry->second);
      Bstr owner(where);
      resource.HandTo(resourceName);
      owner.HandTo(targetName);
      *found = 1;
      return true;
    };
    if (first != nullptr && resolve(*name, *first)) return platform::kS_OK;
    if ((options & kResolveInEveryTarget) != 0) {
      for (const auto& [other, candidate] : Library::Instance().state().model.targets) {
        if (other != *name && resolve(other, candidate)) return platform::kS_OK;
      }
    }
    return platform::kS_FALSE;
  });
}

HRESULT Framework::SetAlias(const platform::WideChar* target, const platform::WideChar* alias,
                            const platform::WideChar* resourceName) {
  return Run("SetAlias", nullptr, [&]() -> HRESULT {
    if (target == nullptr || alias == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    platform::WideString key(alias);
    if (!name || key.empty()) return platform::kE_INVALIDARG;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    Target* known = FindTarget(*name);
    if (known == nullptr) return kE_ElementNotFound;
    Library::Instance().state().saved = false;
    if (resourceName == nullptr || *resourceName == 0) {
      return known->aliases.erase(key) != 0 ? platform::kS_OK : platform::kS_FALSE;
    }
    known->aliases[key] = resourceName;
    return platform::kS_OK;
  });
}

HRESULT Framework::SetTargetEnabled(const platform::WideChar* target, std::int32_t enabled) {
  return Run("SetTargetEnabled", nullptr, [&]() -> HRESULT {
    if (target == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    if (!name || !IsFlag(enabled)) return platform::kE_INVALIDARG;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    Target* known = FindTarget(*name);
    if (known == nullptr) return kE_ElementNotFound;
    known->enabled = enabled != 0;
    Library::Instance().state().saved = false;
    return platform::kS_OK;
  });
}

HRESULT Framework::DescribeTarget(const platform::WideChar* target, std::int32_t verbose, std::uint32_t depth,
                                  BSTR* description) {
  Clear(description);
  return Run("DescribeTarget", nullptr, [&]() -> HRESULT {
    if (target == nullptr || description == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    if (!name || !IsFlag(verbose)) return platform::kE_INVALIDARG;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    Target* known = FindTarget(*name);
    if (known == nullptr) return kE_ElementNotFound;
    *description = Bstr(Describe(*name, *known, verbose != 0, depth)).Detach();
    return platform::kS_OK;
  });
}

HRESULT Framework::AddTarget(const platform::WideChar* target, const platform::WideChar* hostName,
                             const platform::WideChar* description, std::int32_t replace, void* reserved) {
  return Run("AddTarget", nullptr, [&]() -> HRESULT {
    if (target == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    if (!name || !IsFlag(replace) || reserved != nullptr) return platform::kE_INVALIDARG;
    Library& library = Library::Instance();
    std::vector<platform::WideString> dropped;
    bool hadRecords;
    {
      std::lock_guard<std::mutex> lock(library.mutex());
      Target* existing = FindTarget(*name);
      if (existing != nullptr && replace == 0) return kE_AlreadyExists;
      Target added;
      added.hostName = FromCaller(hostName);
      added.description = FromCaller(description);
      if (existing != nullptr) dropped = Library::ResourceNames(existing->records);
      hadRecords = existing != nullptr && !existing->records.empty();
      library.state().model.targets[*name] = std::move(added);
      library.state().saved = false;
    }
    if (hadRecords) library.notifier().Post(*name, morrowkit::kChangeRecordsRemoved, std::move(dropped));
    return platform::kS_OK;
  });
}

HRESULT Framework::UpdateTarget(const platform::WideChar* target, const platform::WideChar* hostName,
                                const platform::WideChar* description, std::int32_t enabled) {
  return Run("UpdateTarget", nullptr, [&]() -> HRESULT {
    if (target == nullptr) return platform::kE_POINTER;
    auto name = NameFromCaller(target);
    // -1 leaves the enabled state as it is.
    if (!name || (enabled != -1 && !IsFlag(enabled))) return platform::kE_INVALIDARG;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    Target* known = FindTarget(*name);
    if (known == nullptr) return kE_ElementNotFound;
    if (hostName != nullptr) known->hostName = hostName;
    if (description != nullptr) known->description = description;
    if (enabled != -1) known->enabled = enabled != 0;
    Library::Instance().state().saved = false;
    return platform::kS_OK;
  });
}

HRESULT Framework::RenameTarget(const platform::WideChar* target, const platform::WideChar* newName) {
  return Run("RenameTarget", nullptr, [&]() -> HRESULT {
    if (target == nullptr || newName == nullptr) return platform::kE_POINTER;
    auto from = NameFromCaller(target);
    auto to = NameFromCaller(newName);
    // The local machine keeps its name.
    if (!from || !to || from->empty() || to->empty()) return platform::kE_INVALIDARG;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    auto& targets = Library::Instance().state().model.targets;
    auto found = targets.find(*from);
    if (found == targets.end()) return kE_ElementNotFound;
    if (*from == *to) return platform::kS_FALSE;
    if (targets.count(*to) != 0) return kE_AlreadyExists;
    Target moved = std::move(found->second);
    targets.erase(found);
    targets.emplace(*to, std::move(moved));
    Library::Instance().state().saved = false;
    return platform::kS_OK;
  });
}

}  // namespace kelmorrow
