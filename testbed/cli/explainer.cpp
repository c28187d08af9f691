#include "explainer.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "discovery_rules.h"
#include "hresult_text.h"
#include "morrowkit/framework/framework_handle.h"
#include "morrowkit/hresult_exception.h"
#include "record.h"

namespace kronel_names {
namespace {

using morrowkit::PropertyBagHandle;
using morrowkit::PropertyType;

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

std::string PropertyName(std::uint32_t tag) {
  switch (tag) {
    case kPropertyStatus:
      return "status";
    case kPropertyModelCode:
      return "modelCode";
    case kPropertyResourceName:
      return "resourceName";
    case kPropertyOperatingSystem:
      return "operatingSystem";
    case kPropertySourceCount:
      return "sourceCount";
    case kPropertySourceResourceName:
      return "sourceResourceName";
    case kPropertyHostName:
      return "hostName";
    default:
      break;
  }
  if (tag >= kPropertySourceName && tag <= kPropertySourceName + kSourceIndexLimit) {
    return "sourceNames[" + std::to_string(tag - kPropertySourceName) + "]";
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", static_cast<unsigned>(tag));
  return buffer;
}

std::string WithArticle(std::uint32_t type) {
  const std::string name = kelmorrow::TypeName(static_cast<PropertyType>(type));
  if (name == "unknown") return "a value of type " + std::to_string(type);
  return (name[0] == 'i' || name[0] == 'u' ? "an " : "a ") + name;
}

// A read that fails ends the whole refresh in the plug-in.
struct RefreshStop {
  std::string reason;
  bool libraryFailed;  // the library answered a failure, rather than the plug-in refusing to read
};

// Reads a record through the library's contract, with the calls the
// plug-in's discovery makes: a failing HasProperty counts as absent, a
// failing typed read stops the refresh, S_FALSE reads as empty.
class Reader {
 public:
  explicit Reader(const PropertyBagHandle& record) : record_(record) {}

  bool Has(std::uint32_t tag) const { return record_.HasProperty(tag); }
  bool HasPropertyFails(std::uint32_t tag) const { return platform::Failed(record_.Get()->HasProperty(tag)); }

  std::int32_t Int32(std::uint32_t tag) const {
    return Read(tag, morrowkit::kPropertyTypeInt32, "GetInt32", [&] { return record_.GetInt32(tag); });
  }
  std::uint32_t UInt32(std::uint32_t tag) const {
    return Read(tag, morrowkit::kPropertyTypeUInt32, "GetUInt32", [&] { return record_.GetUInt32(tag); });
  }
  std::string String(std::uint32_t tag) const {
    return Read(tag, morrowkit::kPropertyTypeString, "GetString", [&] { return record_.GetString(tag); });
  }
  std::string SourceName(std::uint32_t index) const {
    const std::uint32_t tag = kPropertySourceName + index;
    if (!Has(tag)) return std::string();
    if (index >= kSourceIndexLimit) {
      throw RefreshStop{"a source name at index " + std::to_string(index) +
                            " is present, but the plug-in reads at most " +
                            std::to_string(kSourceIndexLimit) + " source names",
                        false};
    }
    return String(tag);
  }

  // Present properties are read; absent ones count as 0 or empty.
  std::uint32_t UInt32Or0(std::uint32_t tag) const { return Has(tag) ? UInt32(tag) : 0; }
  std::string StringOrEmpty(std::uint32_t tag) const { return Has(tag) ? String(tag) : std::string(); }

  bool HasNetworkSource() const {
    const std::int32_t count = Has(kPropertySourceCount) ? Int32(kPropertySourceCount) : 0;
    // The plug-in asks every index below the count. Past the first index it
    // refuses to read, a present one stops it alike, so the walk ends there.
    const std::uint32_t end = count <= 0 ? 0 : std::min<std::uint32_t>(count, kSourceIndexLimit + 1);
    for (std::uint32_t index = 0; index < end; ++index) {
      if (SourceName(index) == kNetworkSource) return true;
    }
    return false;
  }

 private:
  template <class Fn>
  auto Read(std::uint32_t tag, PropertyType type, const char* operation, Fn read) const -> decltype(read()) {
    try {
      return read();
    } catch (const morrowkit::HResultException& failure) {
      std::string reason = "reading " + Quote(PropertyName(tag)) + " with " + operation + " fails with " +
                           HResultText(failure.Code());
      std::uint32_t stored = 0;
      if (failure.Code() == morrowkit::kE_TypeMismatch &&
          record_.Get()->GetType(tag, &stored) == platform::kS_OK) {
        reason += ": the record holds " + WithArticle(stored) + ", the plug-in reads " + WithArticle(type);
      }
      throw RefreshStop{reason, true};
    }
  }

  const PropertyBagHandle& record_;
};

bool IsSupportedOs(const std::string& os) { return os == kSupportedSystem1 || os == kSupportedSystem2; }

class RecordRules {
 public:
  RecordRules(const PropertyBagHandle& record, RecordExplanation& out) : read_(record), out_(out) {}

  void Apply() {
    if (!read_.Has(kPropertyStatus)) {
      return Drop("no-status", read_.HasPropertyFails(kPropertyStatus)
                                   ? "HasProperty fails for \"status\", so the record has none"
                                   : "no status");
    }
    const std::int32_t status = read_.Int32(kPropertyStatus);
    if (status != 1) return Drop("status-not-1", "status is " + std::to_string(status) + ", not 1");

    const std::uint32_t model = read_.UInt32Or0(kPropertyModelCode);
    const bool listed = DeviceModels().count(model) != 0;
    if (listed) DeviceRule(model);

    const std::string os = read_.StringOrEmpty(kPropertyOperatingSystem);
    std::string supportedBy;
    if (IsSupportedOs(os)) {
      supportedBy = "operating system " + Quote(os);
    } else {
      const std::uint32_t systemModel = read_.UInt32Or0(kPropertyModelCode);
      if (SystemModels().count(systemModel) != 0) supportedBy = "system model " + ModelText(systemModel);
    }
    if (!supportedBy.empty()) {
      SystemRule(supportedBy);
    } else if (!listed) {
      std::string why = model == 0
                            ? std::string("no model code")
                            : "model " + ModelText(model) + " is neither a listed device nor a system model";
      why += os.empty() ? ", and no operating system"
                        : ", and operating system " + Quote(os) + " is not supported";
      reasons_.push_back({"not-listed", why});
    }

    if (!out_.names.empty()) {
      out_.verdict = Verdict::kKept;
      Finish(kept_);
    } else {
      out_.verdict = Verdict::kDropped;
      Finish(reasons_);
    }
  }

 private:
  using Parts = std::vector<std::pair<std::string, std::string>>;  // rule, words

  void Drop(const std::string& rule, const std::string& text) {
    out_.verdict = Verdict::kDropped;
    out_.rule = rule;
    out_.text = text;
  }

  void Finish(const Parts& parts) {
    for (const auto& [rule, text] : parts) {
      out_.rule += (out_.rule.empty() ? "" : "+") + rule;
      out_.text += (out_.text.empty() ? "" : "; ") + text;
    }
  }

  void Produce(const std::string& name, const NameOrigin& origin, const std::string& rule,
               const std::string& text) {
    out_.names.emplace_back(name, origin);
    kept_.push_back({rule, text});
  }

  void DeviceRule(std::uint32_t model) {
    const std::string name = read_.StringOrEmpty(kPropertyResourceName);
    const std::string device = "device of model " + ModelText(model);
    if (name.empty()) {
      reasons_.push_back({"device-without-name", device + " without a resource name"});
      return;
    }
    NameOrigin origin;
    origin.model = model;
    Produce(name, origin, "device", device);
  }

  void SystemRule(const std::string& supportedBy) {
    const std::string first = read_.SourceName(0);
    std::string notLocal;
    if (first == kLocalSource) {
      const std::string resource = read_.StringOrEmpty(kPropertySourceResourceName);
      if (resource == kLocalSourceResourceName) {
        NameOrigin origin;
        origin.form = NameForm::kLocalSystem;
        Produce(kLocalSystemUrl, origin, "local-system",
                "local system (" + supportedBy +
                    ", first source \"kelsyscfg\", source resource name \"system\")");
        return;
      }
      notLocal = "its source resource name is " + Quote(resource) + ", not \"system\"";
    } else {
      notLocal = first.empty() ? "it has no first source"
                               : "its first source is " + Quote(first) + ", not \"kelsyscfg\"";
    }
    if (read_.HasNetworkSource()) {
      const std::string host = read_.StringOrEmpty(kPropertyHostName);
      NameOrigin origin;
      origin.form = NameForm::kRemoteSystem;
      origin.hasHost = !host.empty();
      Produce("sync://" + host + "/system", origin, "remote-system",
              "remote system (" + supportedBy + ", a \"network\" source, " +
                  (host.empty() ? std::string("no host name") : "host name " + Quote(host)) + ")");
      return;
    }
    reasons_.push_back({"system-not-local-or-network", "supported system (" + supportedBy +
                                                           "), but not the local system (" + notLocal +
                                                           ") and without a \"network\" source"});
  }

  Reader read_;
  RecordExplanation& out_;
  Parts kept_;
  Parts reasons_;
};

}  // namespace

std::string ModelText(std::uint32_t model) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%04X", static_cast<unsigned>(model));
  return buffer;
}

std::string DescribeOrigin(const NameOrigin& origin) {
  switch (origin.form) {
    case NameForm::kDevice:
      return "device of model " + ModelText(origin.model);
    case NameForm::kLocalSystem:
      return "local system";
    case NameForm::kRemoteSystem:
      return origin.hasHost ? "remote system" : "remote system without a host name";
  }
  return "";
}

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kKept:
      return "kept";
    case Verdict::kDropped:
      return "dropped";
    case Verdict::kStopsRefresh:
      return "stops";
    case Verdict::kNotReached:
      return "unread";
  }
  return "";
}

TargetExplanation Explain(const std::string& target, const std::vector<std::string>& places) {
  TargetExplanation explanation;
  std::optional<morrowkit::FrameworkHandle<PropertyBagHandle>> framework;
  std::vector<PropertyBagHandle> records;
  const char* operation = "kelsysInstantiateFramework2";
  try {
    framework.emplace(true, true);
    operation = "FindHardware";
    records = framework->FindHardware(target);
  } catch (const morrowkit::HResultException& failure) {
    explanation.failure = std::string(operation) + " fails with " + HResultText(failure.Code());
    explanation.libraryFailed = true;
    return explanation;
  }

  std::string unread;
  for (std::size_t i = 0; i < records.size(); ++i) {
    RecordExplanation record;
    record.number = i + 1;
    if (i < places.size()) record.where = places[i];
    if (!unread.empty()) {
      record.verdict = Verdict::kNotReached;
      record.rule = "unread";
      record.text = unread;
    } else {
      try {
        RecordRules(records[i], record).Apply();
        for (const auto& [name, origin] : record.names) explanation.names.emplace(name, origin);
      } catch (const RefreshStop& stop) {
        record = RecordExplanation{record.number,
                                   record.where,
                                   Verdict::kStopsRefresh,
                                   "read-failure",
                                   stop.reason + ": the refresh stops here",
                                   {}};
        explanation.failure = "record " + std::to_string(record.number) + ": " + stop.reason;
        explanation.libraryFailed = stop.libraryFailed;
        unread = "the refresh stopped at record " + std::to_string(record.number);
      }
    }
    explanation.records.push_back(std::move(record));
  }
  if (!explanation.RefreshSucceeds()) explanation.names.clear();
  return explanation;
}

}  // namespace kronel_names
