#include "description_writer.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "description_fields.h"
#include "text_convert.h"
#include "value_format.h"

namespace kelmorrow {
namespace {

using Json = nlohmann::ordered_json;

std::string HResultText(HRESULT result) { return HexText(static_cast<std::uint32_t>(result)); }

// False when the value cannot be written.
bool WriteValue(const Property& property, Json& out, bool& exact) {
  switch (property.type) {
    case morrowkit::kPropertyTypeBool: out = property.integer != 0; return true;
    case morrowkit::kPropertyTypeString: out = ToUtf8Lossy(property.text, exact); return true;
    case morrowkit::kPropertyTypeDouble:
      if (!std::isfinite(property.real)) return false;
      out = property.real;
      return true;
    default: out = property.integer; return true;
  }
}

// A plain value where the key's own type says it all, an object otherwise.
bool WriteProperty(const Property& property, std::optional<PropertyType> keyType, Json& out, bool& exact) {
  bool plain = keyType == property.type && property.hasValue && !property.readFailure && !property.stringFalse &&
               !property.hasPropertyFailure;
  Json value;
  if (property.hasValue && !WriteValue(property, value, exact)) {
    exact = false;
    return false;
  }
  if (plain) {
    out = std::move(value);
    return true;
  }
  out = Json::object();
  if (keyType != property.type) out["type"] = TypeName(property.type);
  if (property.hasValue) out["value"] = std::move(value);
  if (property.readFailure) out["readFailure"] = HResultText(*property.readFailure);
  if (property.stringFalse) out["stringFalse"] = true;
  if (property.hasPropertyFailure) out["hasPropertyFailure"] = HResultText(*property.hasPropertyFailure);
  return true;
}

Json WriteRecord(const Record& record, bool& exact) {
  Json out = Json::object();
  Json raw = Json::object();
  for (const auto& [tag, property] : record.properties) {
    const FriendlyField* friendly = nullptr;
    for (const FriendlyField& field : kFriendlyFields) {
      if (field.tag == tag) friendly = &field;
    }
    Json written;
    if (friendly != nullptr) {
      if (WriteProperty(property, friendly->type, written, exact)) out[friendly->key] = std::move(written);
    } else if (WriteProperty(property, std::nullopt, written, exact)) {
      raw[HexText(tag)] = std::move(written);
    }
  }
  if (!raw.empty()) out["properties"] = std::move(raw);
  if (record.refusesPropertyBag) out["refusesPropertyBag"] = true;
  return out;
}

Json WriteTarget(const Target& target, bool& exact) {
  Json out = Json::object();
  Json records = Json::array();
  for (const RecordPtr& record : target.records) records.push_back(WriteRecord(*record, exact));
  out["records"] = std::move(records);
  if (!target.hostName.empty()) out["hostName"] = ToUtf8Lossy(target.hostName, exact);
  if (!target.description.empty()) out["description"] = ToUtf8Lossy(target.description, exact);
  if (!target.enabled) out["enabled"] = false;
  if (!target.aliases.empty()) {
    Json aliases = Json::object();
    for (const auto& [alias, resource] : target.aliases) {
      aliases[ToUtf8Lossy(alias, exact)] = ToUtf8Lossy(resource, exact);
    }
    out["aliases"] = std::move(aliases);
  }
  if (target.findHardwareFailure) out["findHardwareFailure"] = HResultText(*target.findHardwareFailure);
  if (target.findHardwareNull) out["findHardwareNull"] = true;
  return out;
}

Json WriteProfile(const Profile& profile) {
  Json out = Json::object();
  out["registrations"] = kRegistrationsNames[static_cast<int>(profile.registrations)];
  out["removal"] = kRemovalNames[static_cast<int>(profile.removal)];
  out["delivery"] = kDeliveryNames[static_cast<int>(profile.delivery)];
  out["frameworks"] = kFrameworksNames[static_cast<int>(profile.frameworks)];
  out["late-release-ms"] = profile.lateReleaseMs;
  out["notifications"] = kNotificationsNames[static_cast<int>(profile.notifications)];
  return out;
}

}  // namespace

std::string WriteDescription(const Model& model, bool& exact) {
  Json root = Json::object();
  Json targets = Json::object();
  for (const auto& [name, target] : model.targets) targets[name] = WriteTarget(target, exact);
  root["targets"] = std::move(targets);
  if (!model.settings->properties.empty() || model.settings->refusesPropertyBag) {
    root["settings"] = WriteRecord(*model.settings, exact);
  }
  Json license = Json::object();
  license["licensed"] = model.licensed;
  if (!model.licenseText.empty()) license["text"] = ToUtf8Lossy(model.licenseText, exact);
  root["license"] = std::move(license);
  if (model.profile) root["profile"] = WriteProfile(*model.profile);
  return root.dump(2) + "\n";
}

}  // namespace kelmorrow
