#include "kronel/morrow_cache.h"
#include "kronel/property_ids.h"

namespace kronel {
namespace {

using Record = morrowkit::PropertyBagHandle;

const char kLocalSystemUrl[] = "sync://localhost/system";
const char kUrlScheme[] = "sync://";
const char kSystemPath[] = "/system";

// A property the record lacks is not an error: it reads as 0 or empty.
std::int32_t Int32Or0(const Record& record, std::uint32_t tag) {
  return record.HasProperty(tag) ? record.GetInt32(tag) : 0;
}

std::uint32_t UInt32Or0(const Record& record, std::uint32_t tag) {
  return record.HasProperty(tag) ? record.GetUInt32(tag) : 0;
}

std::string StringOrEmpty(const Record& record, std::uint32_t tag) {
  return record.HasProperty(tag) ? record.GetString(tag) : std::string();
}

std::string SourceName(const Record& record, std::uint32_t index) {
  return record.HasProperty(kPropertySourceName + index) ? record.GetIndexedString(kPropertySourceName, index)
                                                         : std::string();
}

}  // namespace

bool IsLocalSystemRecord(const Record& record) {
  if (SourceName(record, 0) != "kelsyscfg") return false;
  return StringOrEmpty(record, kPropertySourceResourceName) == "system";
}

bool HasNetworkSource(const Record& record) {
  // The count is read again before each comparison.
  for (std::int32_t i = 0; i < Int32Or0(record, kPropertySourceCount); ++i) {
    if (SourceName(record, static_cast<std::uint32_t>(i)) == "network") return true;
  }
  return false;
}

bool MorrowCache::IsSupportedSystem(const Record& record) const {
  const std::string os = StringOrEmpty(record, kPropertyOperatingSystem);
  if (os == "KEL-Linux x64" || os == "Linux-ARMv7-A") return true;
  return systemModels.count(UInt32Or0(record, kPropertyModelCode)) != 0;
}

void MorrowCache::Discover(std::set<std::string>& found) {
  const std::vector<Record> records = framework->FindHardware(targetUrl);
  for (const Record& record : records) {
    if (!record.HasProperty(kPropertyStatus)) continue;
    if (record.GetInt32(kPropertyStatus) != 1) continue;
    const std::uint32_t model = UInt32Or0(record, kPropertyModelCode);
    if (deviceModels.count(model) != 0) {
      std::string name = StringOrEmpty(record, kPropertyResourceName);
      if (!name.empty()) found.insert(std::move(name));
    }
    if (IsSupportedSystem(record)) {
      if (IsLocalSystemRecord(record)) {
        found.insert(kLocalSystemUrl);
      } else if (HasNetworkSource(record)) {
        found.insert(kUrlScheme + StringOrEmpty(record, kPropertyHostName) + kSystemPath);
      }
    }
  }
}

}  // namespace kronel
