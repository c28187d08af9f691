#include <mutex>
#include <vector>

#include "framework.h"
#include "framework_support.h"
#include "operation.h"
#include "property_bag.h"
#include "text_convert.h"
#include "value_format.h"

namespace kelmorrow {
namespace {

const char kForeignRecord[] = "the record is not a property bag of this library";

// What keeps a property from being read as `type`, or empty.
std::string ReadProblem(const Record& record, std::uint32_t tag, PropertyType type, const char* name) {
  std::string label = std::string(name) + " (" + HexText(tag) + ")";
  const Property* property = record.Find(tag);
  if (property == nullptr) return label + " is missing";
  if (property->readFailure) return label + " cannot be read (" + HexText(static_cast<std::uint32_t>(*property->readFailure)) + ")";
  if (property->type != type) return label + " is " + TypeName(property->type) + ", not " + TypeName(type);
  return std::string();
}

std::vector<std::string> Problems(const Record& record, bool strict) {
  std::vector<std::string> problems;
  for (const std::string& problem :
       {ReadProblem(record, kTagStatus, morrowkit::kPropertyTypeInt32, "status"),
        ReadProblem(record, kTagModelCode, morrowkit::kPropertyTypeUInt32, "model code")}) {
    if (!problem.empty()) problems.push_back(problem);
  }
  if (!strict) return problems;
  const Property* status = record.Find(kTagStatus);
  if (problems.empty() && status->integer != 1) {
    problems.push_back("status is " + std::to_string(status->integer) + ", not 1");
  }
  const platform::WideString* resource = record.StringAt(kTagResourceName);
  if (resource == nullptr || resource->empty()) problems.push_back("resource name (0x101F000) is missing or empty");
  for (const auto& [tag, property] : record.properties) {
    if (property.readFailure || property.hasPropertyFailure || property.stringFalse) {
      problems.push_back("property " + HexText(tag) + " does not read cleanly");
    }
  }
  return problems;
}

}  // namespace

HRESULT Framework::ValidateRecord(morrowkit::IqvSysPropertyBag* record, std::int32_t strict, std::int32_t* valid,
                                  BSTR* report, BSTR* detail) {
  Clear(valid);
  Clear(report);
  Clear(detail);
  return Run("ValidateRecord", detail, [&]() -> HRESULT {
    if (record == nullptr || valid == nullptr || report == nullptr) {
      return FailWithDetail(platform::kE_POINTER, detail, "a required argument is null");
    }
    PropertyBag* bag = PropertyBag::Find(record);
    if (bag == nullptr) return FailWithDetail(platform::kE_INVALIDARG, detail, kForeignRecord);
    if (!IsFlag(strict)) return FailWithDetail(platform::kE_INVALIDARG, detail, "strict must be 0 or 1");
    std::vector<std::string> problems;
    {
      std::lock_guard<std::mutex> lock(Library::Instance().mutex());
      problems = Problems(*bag->record(), strict != 0);
    }
    std::string text;
    for (const std::string& problem : problems) text += (text.empty() ? "" : "; ") + problem;
    *report = Bstr(problems.empty() ? std::string("valid") : text).Detach();
    *valid = problems.empty() ? 1 : 0;
    return platform::kS_OK;
  });
}

HRESULT Framework::FormatProperty(morrowkit::IqvSysPropertyBag* record, std::uint32_t tag, BSTR* text) {
  Clear(text);
  return Run("FormatProperty", nullptr, [&]() -> HRESULT {
    if (record == nullptr || text == nullptr) return platform::kE_POINTER;
    PropertyBag* bag = PropertyBag::Find(record);
    if (bag == nullptr) return platform::kE_INVALIDARG;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    const Property* property = bag->record()->Find(tag);
    if (property == nullptr) return kE_ElementNotFound;
    if (property->readFailure) return *property->readFailure;
    if (!property->hasValue) return platform::kS_FALSE;
    bool exact = true;
    *text = Bstr(FormatValue(*property, exact)).Detach();
    return platform::kS_OK;
  });
}

HRESULT Framework::ReserveResource(const platform::WideChar* resourceName, std::uint32_t owner,
                                   std::int32_t* previousOwner, BSTR* holder, BSTR* detail) {
  Clear(previousOwner);
  Clear(holder);
  Clear(detail);
  return Run("ReserveResource", detail, [&]() -> HRESULT {
    if (resourceName == nullptr || previousOwner == nullptr) {
      return FailWithDetail(platform::kE_POINTER, detail, "a required argument is null");
    }
    platform::WideString name(resourceName);
    bool exact = true;
    std::string printable = "\"" + ToUtf8Lossy(name, exact) + "\"";
    LibraryState& state = Library::Instance().state();
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    bool exists = false;
    for (const auto& entry : state.model.targets) {
      for (const RecordPtr& record : entry.second.records) {
        const platform::WideString* resource = record->StringAt(kTagResourceName);
        if (resource != nullptr && *resource == name) exists = true;
      }
    }
    if (!exists) return FailWithDetail(kE_ElementNotFound, detail, "no resource named " + printable);
    auto current = state.reservations.find(name);
    std::uint32_t reservedBy = current == state.reservations.end() ? 0 : current->second;
    *previousOwner = static_cast<std::int32_t>(reservedBy);
    if (owner == 0) {
      if (current == state.reservations.end()) return platform::kS_FALSE;
      state.reservations.erase(current);
      return platform::kS_OK;
    }
    if (reservedBy != 0 && reservedBy != owner) {
      Bstr("owner " + std::to_string(reservedBy)).HandTo(holder);
      return FailWithDetail(kE_Busy, detail,
                            "resource " + printable + " is reserved by owner " + std::to_string(reservedBy));
    }
    state.reservations[name] = owner;
    Bstr("owner " + std::to_string(owner)).HandTo(holder);
    return platform::kS_OK;
  });
}

}  // namespace kelmorrow
