#include "description_loader.h"

#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <map>

#include "description_fields.h"
#include "json_reader.h"
#include "text_convert.h"

namespace kelmorrow {
namespace {

using json::Kind;
using json::Member;
using json::Position;
using json::Value;

std::string Quote(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string Hex(std::uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  do {
    out.insert(out.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  return "0x" + out;
}

std::string At(Position position) { return std::to_string(position.line) + ":" + std::to_string(position.column); }

std::string TypeWithArticle(PropertyType type) {
  switch (type) {
    case morrowkit::kPropertyTypeBool: return "true or false";
    case morrowkit::kPropertyTypeInt16: return "an int16";
    case morrowkit::kPropertyTypeUInt16: return "a uint16";
    case morrowkit::kPropertyTypeInt32: return "an int32";
    case morrowkit::kPropertyTypeUInt32: return "a uint32";
    case morrowkit::kPropertyTypeInt64: return "an int64";
    case morrowkit::kPropertyTypeDouble: return "a double";
    case morrowkit::kPropertyTypeString: return "a string";
  }
  return "a value";
}

struct IntegerRange {
  int bits;
  bool isSigned;
  std::int64_t min;
  std::int64_t max;
};

IntegerRange RangeOf(PropertyType type) {
  switch (type) {
    case morrowkit::kPropertyTypeInt16: return {16, true, -32768, 32767};
    case morrowkit::kPropertyTypeUInt16: return {16, false, 0, 65535};
    case morrowkit::kPropertyTypeInt32: return {32, true, std::numeric_limits<std::int32_t>::min(),
                                                std::numeric_limits<std::int32_t>::max()};
    case morrowkit::kPropertyTypeUInt32: return {32, false, 0, std::numeric_limits<std::uint32_t>::max()};
    default: return {64, true, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()};
  }
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A property tag, or the bit pattern of "0x..." text of at most `bits` bits.
std::optional<std::uint64_t> ParseHexText(std::string_view text, int bits, bool& tooWide) {
  tooWide = false;
  if (text.size() < 3 || text.substr(0, 2) != "0x") return std::nullopt;
  std::uint64_t value = 0;
  int significant = 0;
  for (char c : text.substr(2)) {
    int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    if (significant > 0 || digit != 0) ++significant;
    if (significant * 4 > bits) tooWide = true;
    if (!tooWide) value = value * 16 + static_cast<std::uint64_t>(digit);
  }
  if (!tooWide && bits < 64 && (value >> bits) != 0) tooWide = true;
  return value;
}

class Loader {
 public:
  explicit Loader(std::string source) : source_(std::move(source)) {}

  Model LoadModel(const Value& root) {
    ExpectKind(root, Kind::kObject, "the hardware description");
    Model model;
    model.sourceName = source_;
    for (const Member& member : root.members) {
      if (member.key == "targets") {
        ExpectKind(member.value, Kind::kObject, Quote("targets"));
        for (const Member& target : member.value.members) {
          model.targets[target.key] = LoadTarget(target.value, target.key);
        }
      } else if (member.key == "settings") {
        model.settings = LoadRecord(member.value);
      } else if (member.key == "license") {
        LoadLicense(member.value, model);
      } else if (member.key == "profile") {
        model.profile = LoadProfile(member.value);
      } else {
        UnknownKey(member, "the hardware description", {"targets", "settings", "license", "profile"});
      }
    }
    return model;
  }

  Change LoadChange(const Value& root) {
    ExpectKind(root, Kind::kObject, "a change");
    if (root.members.size() != 1) Fail(root.position, "expected exactly one of \"replace\", \"add\" or \"remove\" in a change");
    const Member& member = root.members.front();
    Change change;
    if (member.key == "replace" || member.key == "add") {
      change.kind = member.key == "add" ? morrowkit::kChangeRecordsAdded : morrowkit::kChangeRecordsReplaced;
      change.records = LoadRecords(member.value, member.key);
    } else if (member.key == "remove") {
      change.kind = morrowkit::kChangeRecordsRemoved;
      ExpectKind(member.value, Kind::kArray, Quote("remove"));
      for (const Value& name : member.value.items) {
        ExpectKind(name, Kind::kString, "a resource name in \"remove\"");
        change.removals.emplace_back(ToWide(name.text), name.position);
      }
    } else {
      UnknownKey(member, "a change", {"replace", "add", "remove"});
    }
    return change;
  }

  Profile LoadProfile(const Value& root, Profile profile = Profile()) const {
    ExpectKind(root, Kind::kObject, "the profile");
    for (const Member& member : root.members) {
      if (member.key == "registrations") {
        profile.registrations = LoadChoice<Profile::Registrations>(member, kRegistrationsNames);
      } else if (member.key == "removal") {
        profile.removal = LoadChoice<Profile::Removal>(member, kRemovalNames);
      } else if (member.key == "delivery") {
        profile.delivery = LoadChoice<Profile::Delivery>(member, kDeliveryNames);
      } else if (member.key == "frameworks") {
        profile.frameworks = LoadChoice<Profile::Frameworks>(member, kFrameworksNames);
      } else if (member.key == "late-release-ms") {
        profile.lateReleaseMs =
            static_cast<std::uint32_t>(LoadInteger(member.value, morrowkit::kPropertyTypeUInt32, member.key));
      } else if (member.key == "notifications") {
        profile.notifications = LoadChoice<Profile::Notifications>(member, kNotificationsNames);
      } else {
        UnknownKey(member, "the profile",
                   {"registrations", "removal", "delivery", "frameworks", "late-release-ms", "notifications"});
      }
    }
    return profile;
  }

 private:
  template <class Choice, std::size_t N>
  Choice LoadChoice(const Member& member, const char* const (&names)[N]) const {
    if (member.value.kind != Kind::kString)
      Fail(member.value.position, "expected a string for " + Quote(member.key));
    std::string list;
    for (std::size_t i = 0; i < N; ++i) {
      if (member.value.text == names[i]) return static_cast<Choice>(i);
      list += (i == 0 ? "" : i + 1 == N ? " or " : ", ") + std::string(names[i]);
    }
    Fail(member.value.position, "unknown value " + Quote(member.value.text) + " for " + Quote(member.key) +
                                    " (expected " + list + ")");
  }

  [[noreturn]] void Fail(Position position, const std::string& message) const {
    throw DescriptionError(json::FormatError(source_, position, message));
  }

  void ExpectKind(const Value& value, Kind kind, const std::string& what) const {
    if (value.kind != kind) Fail(value.position, std::string("expected ") + json::DescribeKind(kind) + " for " + what);
  }

  [[noreturn]] void UnknownKey(const Member& member, const std::string& where,
                               std::initializer_list<const char*> expected) const {
    std::string list;
    for (const char* key : expected) list += (list.empty() ? "" : ", ") + std::string(key);
    Fail(member.keyPosition, "unknown key " + Quote(member.key) + " in " + where + " (expected one of: " + list + ")");
  }

  bool LoadBool(const Value& value, const std::string& field) const {
    if (value.kind != Kind::kBool) Fail(value.position, "expected true or false for " + Quote(field));
    return value.boolean;
  }

  platform::WideString LoadString(const Value& value, const std::string& field) const {
    if (value.kind != Kind::kString) Fail(value.position, "expected a string for " + Quote(field));
    return ToWide(value.text);
  }

  std::int64_t LoadInteger(const Value& value, PropertyType type, const std::string& field) const {
    IntegerRange range = RangeOf(type);
    std::string typeName = TypeName(type);
    if (value.kind == Kind::kString) {
      bool tooWide = false;
      auto bits = ParseHexText(value.text, range.bits, tooWide);
      if (!bits) {
        Fail(value.position, "expected " + TypeWithArticle(type) + " for " + Quote(field) +
                                 ": a string must hold a hexadecimal number such as \"0x1F\", not " + Quote(value.text));
      }
      if (tooWide) {
        Fail(value.position, "hexadecimal number " + Quote(value.text) + " is too wide for " + typeName + " " +
                                 Quote(field) + " (at most " + std::to_string(range.bits / 4) + " digits)");
      }
      if (range.isSigned && range.bits < 64 && (*bits >> (range.bits - 1)) != 0) {
        return static_cast<std::int64_t>(*bits) - (std::int64_t(1) << range.bits);
      }
      return static_cast<std::int64_t>(*bits);
    }
    if (value.kind != Kind::kNumber) Fail(value.position, "expected " + TypeWithArticle(type) + " for " + Quote(field));
    if (!value.IsIntegerLiteral()) {
      Fail(value.position, "expected " + TypeWithArticle(type) + " for " + Quote(field) + ", found the number " +
                               value.text + ", which is not whole");
    }
    std::int64_t number = 0;
    auto result = std::from_chars(value.text.data(), value.text.data() + value.text.size(), number);
    if (result.ec != std::errc() || number < range.min || number > range.max) {
      Fail(value.position, "value " + value.text + " is out of range for " + typeName + " " + Quote(field) + " (" +
                               std::to_string(range.min) + " to " + std::to_string(range.max) + ")");
    }
    return number;
  }

  double LoadDouble(const Value& value, const std::string& field) const {
    if (value.kind != Kind::kNumber) Fail(value.position, "expected a double for " + Quote(field));
    double number = 0;
    auto result = std::from_chars(value.text.data(), value.text.data() + value.text.size(), number);
    if (result.ec != std::errc()) {
      Fail(value.position, "value " + value.text + " is out of range for double " + Quote(field));
    }
    return number;
  }

  HRESULT LoadFailure(const Value& value, const std::string& field) const {
    auto hr = static_cast<HRESULT>(LoadInteger(value, morrowkit::kPropertyTypeInt32, field));
    if (hr >= 0) {
      Fail(value.position, "expected a failure HRESULT (negative, such as \"0x80004005\") for " + Quote(field));
    }
    return hr;
  }

  void LoadValue(const Value& value, Property& property, const std::string& field) const {
    property.hasValue = true;
    switch (property.type) {
      case morrowkit::kPropertyTypeBool: property.integer = LoadBool(value, field) ? 1 : 0; break;
      case morrowkit::kPropertyTypeDouble: property.real = LoadDouble(value, field); break;
      case morrowkit::kPropertyTypeString: property.text = LoadString(value, field); break;
      default: property.integer = LoadInteger(value, property.type, field); break;
    }
  }

  // A plain value of the default type, or an object with "type", "value" and faults.
  Property LoadProperty(const Value& value, std::optional<PropertyType> defaultType, const std::string& field) const {
    Property property;
    if (value.kind != Kind::kObject) {
      if (!defaultType) {
        Fail(value.position, "expected an object with \"type\" and \"value\" for the property " + Quote(field));
      }
      property.type = *defaultType;
      LoadValue(value, property, field);
      return property;
    }
    const Member* typeMember = value.Find("type");
    if (typeMember != nullptr) {
      if (typeMember->value.kind != Kind::kString) Fail(typeMember->value.position, "expected a string for \"type\"");
      auto type = TypeFromName(typeMember->value.text);
      if (!type) {
        Fail(typeMember->value.position, "unknown type " + Quote(typeMember->value.text) + " for " + Quote(field) +
                                             " (expected bool, int16, uint16, int32, uint32, int64, double or string)");
      }
      property.type = *type;
    } else if (defaultType) {
      property.type = *defaultType;
    } else {
      Fail(value.position, "expected \"type\" in the property " + Quote(field));
    }
    const Member* stringFalse = nullptr;
    for (const Member& member : value.members) {
      if (member.key == "type") continue;
      if (member.key == "value") {
        LoadValue(member.value, property, field);
      } else if (member.key == "readFailure") {
        property.readFailure = LoadFailure(member.value, "readFailure");
      } else if (member.key == "hasPropertyFailure") {
        property.hasPropertyFailure = LoadFailure(member.value, "hasPropertyFailure");
      } else if (member.key == "stringFalse") {
        property.stringFalse = LoadBool(member.value, "stringFalse");
        stringFalse = &member;
      } else {
        UnknownKey(member, "a property", {"type", "value", "readFailure", "stringFalse", "hasPropertyFailure"});
      }
    }
    if (stringFalse != nullptr && property.stringFalse && property.type != morrowkit::kPropertyTypeString) {
      Fail(stringFalse->keyPosition, "\"stringFalse\" needs a property of type string, but " + Quote(field) + " is " +
                                         TypeName(property.type));
    }
    if (!property.hasValue && !property.readFailure && !property.stringFalse) {
      Fail(value.position, "expected \"value\" in the property " + Quote(field) +
                               " (only a property with \"readFailure\" or \"stringFalse\" may go without)");
    }
    return property;
  }

  class RecordBuilder {
   public:
    RecordBuilder(const Loader& loader, Record& record) : loader_(loader), record_(record) {}

    void Add(std::uint32_t tag, Property property, Position position, const std::string& field) {
      auto [previous, added] = origins_.emplace(tag, Origin{position, field});
      if (!added) {
        loader_.Fail(position, "property " + Hex(tag) + " is already given by " + Quote(previous->second.field) +
                                   " at " + At(previous->second.position));
      }
      record_.properties[tag] = std::move(property);
    }
    bool Has(std::uint32_t tag) const { return origins_.count(tag) != 0; }

   private:
    struct Origin {
      Position position;
      std::string field;
    };
    const Loader& loader_;
    Record& record_;
    std::map<std::uint32_t, Origin> origins_;
  };

  std::uint32_t LoadTag(const Member& member) const {
    bool tooWide = false;
    auto tag = ParseHexText(member.key, 32, tooWide);
    if (!tag) {
      Fail(member.keyPosition, "expected a hexadecimal property tag such as \"0x1234000\" as the key, found " +
                                   Quote(member.key));
    }
    if (tooWide) Fail(member.keyPosition, "property tag " + Quote(member.key) + " is wider than 32 bits");
    return static_cast<std::uint32_t>(*tag);
  }

  RecordPtr LoadRecord(const Value& value) const {
    ExpectKind(value, Kind::kObject, "a record");
    auto record = std::make_shared<Record>();
    RecordBuilder builder(*this, *record);
    std::optional<std::int32_t> listedSources;
    for (const Member& member : value.members) {
      const FriendlyField* friendly = nullptr;
      for (const FriendlyField& field : kFriendlyFields) {
        if (member.key == field.key) friendly = &field;
      }
      if (friendly != nullptr) {
        builder.Add(friendly->tag, LoadProperty(member.value, friendly->type, member.key), member.keyPosition,
                    member.key);
      } else if (member.key == "sourceNames") {
        ExpectKind(member.value, Kind::kArray, Quote("sourceNames"));
        if (member.value.items.size() > kMaxSourceNames) {
          Fail(member.value.position, "too many source names (at most " + std::to_string(kMaxSourceNames) + ")");
        }
        for (std::size_t i = 0; i < member.value.items.size(); ++i) {
          const Value& item = member.value.items[i];
          std::string field = "sourceNames[" + std::to_string(i) + "]";
          builder.Add(kTagSourceName + static_cast<std::uint32_t>(i),
                      LoadProperty(item, morrowkit::kPropertyTypeString, field), item.position, field);
        }
        listedSources = static_cast<std::int32_t>(member.value.items.size());
      } else if (member.key == "properties") {
        ExpectKind(member.value, Kind::kObject, Quote("properties"));
        for (const Member& raw : member.value.members) {
          builder.Add(LoadTag(raw), LoadProperty(raw.value, std::nullopt, raw.key), raw.keyPosition, raw.key);
        }
      } else if (member.key == "refusesPropertyBag") {
        record->refusesPropertyBag = LoadBool(member.value, member.key);
      } else {
        UnknownKey(member, "a record",
                   {"status", "modelCode", "resourceName", "operatingSystem", "sourceNames", "sourceCount",
                    "sourceResourceName", "hostName", "properties", "refusesPropertyBag"});
      }
    }
    if (listedSources && !builder.Has(kTagSourceCount)) {
      Property count;
      count.type = morrowkit::kPropertyTypeInt32;
      count.hasValue = true;
      count.integer = *listedSources;
      record->properties[kTagSourceCount] = count;
    }
    return record;
  }

  std::vector<RecordPtr> LoadRecords(const Value& value, const std::string& field) const {
    ExpectKind(value, Kind::kArray, Quote(field));
    std::vector<RecordPtr> records;
    for (const Value& item : value.items) records.push_back(LoadRecord(item));
    return records;
  }

  Target LoadTarget(const Value& value, const std::string& name) const {
    ExpectKind(value, Kind::kObject, "the target " + Quote(name));
    Target target;
    for (const Member& member : value.members) {
      if (member.key == "records") {
        target.records = LoadRecords(member.value, member.key);
      } else if (member.key == "hostName") {
        target.hostName = LoadString(member.value, member.key);
      } else if (member.key == "description") {
        target.description = LoadString(member.value, member.key);
      } else if (member.key == "enabled") {
        target.enabled = LoadBool(member.value, member.key);
      } else if (member.key == "aliases") {
        ExpectKind(member.value, Kind::kObject, Quote("aliases"));
        for (const Member& alias : member.value.members) {
          if (alias.key.empty()) Fail(alias.keyPosition, "an alias must not be empty");
          target.aliases[ToWide(alias.key)] = LoadString(alias.value, alias.key);
        }
      } else if (member.key == "findHardwareFailure") {
        target.findHardwareFailure = LoadFailure(member.value, member.key);
      } else if (member.key == "findHardwareNull") {
        target.findHardwareNull = LoadBool(member.value, member.key);
      } else {
        UnknownKey(member, "a target",
                   {"records", "hostName", "description", "enabled", "aliases", "findHardwareFailure",
                    "findHardwareNull"});
      }
      if (target.findHardwareFailure && target.findHardwareNull) {
        Fail(member.keyPosition, "\"findHardwareFailure\" and \"findHardwareNull\" cannot both be given for a target");
      }
    }
    return target;
  }

  void LoadLicense(const Value& value, Model& model) const {
    ExpectKind(value, Kind::kObject, Quote("license"));
    for (const Member& member : value.members) {
      if (member.key == "licensed") {
        model.licensed = LoadBool(member.value, member.key);
      } else if (member.key == "text") {
        model.licenseText = LoadString(member.value, member.key);
      } else {
        UnknownKey(member, "\"license\"", {"licensed", "text"});
      }
    }
  }

  std::string source_;
};

json::Value ParseText(std::string_view text, const std::string& source) {
  try {
    return json::Parse(text);
  } catch (const json::ParseError& error) {
    throw DescriptionError(json::FormatError(source, error.position(), error.what()));
  }
}

}  // namespace

Model LoadDescription(std::string_view text, const std::string& source) {
  return Loader(source).LoadModel(ParseText(text, source));
}

Change LoadChange(std::string_view text, const std::string& source) {
  return Loader(source).LoadChange(ParseText(text, source));
}

Profile LoadProfile(std::string_view text, const std::string& source, const Profile& base) {
  return Loader(source).LoadProfile(ParseText(text, source), base);
}

}  // namespace kelmorrow
