#include "dump.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "description_fields.h"
#include "description_writer.h"
#include "discovery_rules.h"
#include "explainer.h"
#include "hresult_text.h"
#include "morrowkit/framework/framework_handle.h"
#include "morrowkit/hresult_exception.h"
#include "report.h"
#include "value_format.h"

namespace kronel_names {
namespace {

using kelmorrow::Property;
using morrowkit::IqvSysPropertyBag;
using morrowkit::PropertyType;

HRESULT ReadAs(IqvSysPropertyBag& bag, std::uint32_t tag, PropertyType type, Property& property) {
  HRESULT result = platform::kE_FAIL;
  switch (type) {
    case morrowkit::kPropertyTypeBool: {
      std::int32_t value = 0;
      result = bag.GetBool(tag, &value);
      property.integer = value != 0;
      break;
    }
    case morrowkit::kPropertyTypeInt16: {
      std::int16_t value = 0;
      result = bag.GetInt16(tag, &value);
      property.integer = value;
      break;
    }
    case morrowkit::kPropertyTypeUInt16: {
      std::uint16_t value = 0;
      result = bag.GetUInt16(tag, &value);
      property.integer = value;
      break;
    }
    case morrowkit::kPropertyTypeInt32: {
      std::int32_t value = 0;
      result = bag.GetInt32(tag, &value);
      property.integer = value;
      break;
    }
    case morrowkit::kPropertyTypeUInt32: {
      std::uint32_t value = 0;
      result = bag.GetUInt32(tag, &value);
      property.integer = value;
      break;
    }
    case morrowkit::kPropertyTypeInt64: {
      std::int64_t value = 0;
      result = bag.GetInt64(tag, &value);
      property.integer = value;
      break;
    }
    case morrowkit::kPropertyTypeDouble:
      result = bag.GetDouble(tag, &property.real);
      break;
    case morrowkit::kPropertyTypeString: {
      BSTR value = nullptr;
      result = bag.GetString(tag, &value);
      if (result == platform::kS_FALSE) property.stringFalse = true;
      if (result == platform::kS_OK && value != nullptr)
        property.text.assign(value, platform::SysStringLen(value));
      if (value != nullptr) platform::SysFreeString(value);
      break;
    }
  }
  property.type = type;
  property.hasValue = result == platform::kS_OK;
  return result;
}

bool IsType(std::uint32_t type) {
  return type >= morrowkit::kPropertyTypeBool && type <= morrowkit::kPropertyTypeString;
}

class RecordDump {
 public:
  RecordDump(IqvSysPropertyBag& bag, std::string where, std::vector<std::string>& failures)
      : bag_(bag), where_(std::move(where)), failures_(failures) {}

  kelmorrow::Record Read() {
    kelmorrow::Record record;
    for (const kelmorrow::FriendlyField& field : kelmorrow::kFriendlyFields) {
      Take(record, field.tag, field.type, field.key);
    }
    // Index 0 always, as the local-system rule reads it; the rest up to the
    // count, and no further than the first index the plug-in refuses.
    std::int32_t count = 0;
    auto counted = record.properties.find(kPropertySourceCount);
    if (counted != record.properties.end() && counted->second.hasValue &&
        counted->second.type == morrowkit::kPropertyTypeInt32 && !counted->second.hasPropertyFailure) {
      count = static_cast<std::int32_t>(counted->second.integer);
    }
    const std::uint32_t end = std::clamp<std::int64_t>(count, 1, kSourceIndexLimit + 1);
    for (std::uint32_t index = 0; index < end; ++index) {
      Take(record, kPropertySourceName + index, morrowkit::kPropertyTypeString,
           "sourceNames[" + std::to_string(index) + "]");
    }
    return record;
  }

 private:
  // How the library answers the discovery's read, and when the stored type
  // differs, the value as stored, so that a replay answers alike.
  void Take(kelmorrow::Record& record, std::uint32_t tag, PropertyType type, const std::string& name) {
    const HRESULT has = bag_.HasProperty(tag);
    if (has != platform::kS_OK && !platform::Failed(has)) return;
    Property property;
    if (platform::Failed(has)) {
      property.hasPropertyFailure = has;
      Fail("HasProperty of \"" + name + "\"", has);
    }
    const HRESULT read = ReadAs(bag_, tag, type, property);
    if (platform::Failed(read)) {
      std::uint32_t stored = 0;
      Property asStored = property;
      if (read == morrowkit::kE_TypeMismatch && bag_.GetType(tag, &stored) == platform::kS_OK &&
          stored != type && IsType(stored) &&
          ReadAs(bag_, tag, static_cast<PropertyType>(stored), asStored) == platform::kS_OK) {
        property = asStored;
      } else {
        property.type = type;
        property.readFailure = read;
        Fail(OperationName(type) + " of \"" + name + "\"", read);
      }
    }
    record.properties[tag] = property;
  }

  static std::string OperationName(PropertyType type) {
    return std::string("Get") + (type == morrowkit::kPropertyTypeInt32    ? "Int32"
                                 : type == morrowkit::kPropertyTypeUInt32 ? "UInt32"
                                                                          : "String");
  }

  void Fail(const std::string& operation, HRESULT result) {
    failures_.push_back(where_ + ": " + operation + " fails with " + HResultText(result));
  }

  IqvSysPropertyBag& bag_;
  std::string where_;
  std::vector<std::string>& failures_;
};

using Json = nlohmann::ordered_json;

// Source names as the list the format offers for them, where the list means
// the same: the record gives its count itself (a list would set it), and
// the names run from index 0 on as strings.
void GatherSourceNames(Json& record) {
  auto raw = record.find("properties");
  if (!record.contains("sourceCount") || raw == record.end()) return;
  Json names = Json::array();
  for (std::uint32_t index = 0;; ++index) {
    auto item = raw->find(kelmorrow::HexText(kPropertySourceName + index));
    if (item == raw->end() || item->value("type", "") != "string") break;
    Json value = *item;
    value.erase("type");
    names.push_back(value.size() == 1 && value.contains("value") ? value["value"] : value);
  }
  if (names.empty()) return;
  for (std::uint32_t index = 0; index < names.size(); ++index) {
    raw->erase(kelmorrow::HexText(kPropertySourceName + index));
  }
  if (raw->empty()) record.erase("properties");
  record["sourceNames"] = std::move(names);
}

// The keys in the order the discovery reads them, a model code in hex, as
// people write descriptions by hand.
Json Readable(const Json& record) {
  static const char* const kOrder[] = {"status",      "modelCode",   "resourceName",       "operatingSystem",
                                       "sourceNames", "sourceCount", "sourceResourceName", "hostName",
                                       "properties"};
  Json out = Json::object();
  for (const char* key : kOrder) {
    auto found = record.find(key);
    if (found != record.end()) out[key] = *found;
  }
  auto model = out.find("modelCode");
  if (model != out.end() && model->is_number_unsigned()) {
    *model = ModelText(model->get<std::uint32_t>());
  }
  return out;
}

}  // namespace

Dump DumpTargets(const std::vector<std::string>& targets) {
  Dump dump;
  morrowkit::FrameworkHandle<morrowkit::PropertyBagHandle> framework(true, true);
  kelmorrow::Model model;
  model.targets.clear();
  for (const std::string& name : targets) {
    kelmorrow::Target& target = model.targets[name];
    const std::string title = "target " + TargetTitle(name);
    std::vector<morrowkit::PropertyBagHandle> records;
    try {
      records = framework.FindHardware(name);
    } catch (const morrowkit::HResultException& failure) {
      target.findHardwareFailure = failure.Code();
      dump.failures.push_back(title + ": FindHardware fails with " + HResultText(failure.Code()));
      continue;
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
      RecordDump reader(*records[i].Get(), title + ", record " + std::to_string(i + 1), dump.failures);
      target.records.push_back(std::make_shared<kelmorrow::Record>(reader.Read()));
    }
    dump.records += records.size();
  }
  bool exact = true;
  Json root = Json::parse(kelmorrow::WriteDescription(model, exact));
  if (!exact) {
    dump.failures.push_back(
        "a value cannot be written as it is: a string with an unpaired surrogate is written repaired, as "
        "U+FFFD, and a number that is not finite is left out");
  }
  // The licence is not the library's to report through the records.
  root.erase("license");
  for (auto& target : root["targets"]) {
    for (Json& record : target["records"]) {
      GatherSourceNames(record);
      record = Readable(record);
    }
  }
  dump.description = root.dump(2) + "\n";
  return dump;
}

}  // namespace kronel_names
