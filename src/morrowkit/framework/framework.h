#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "morrowkit/com_ptr.h"
#include "morrowkit/framework/framework_notification_handler.h"
#include "morrowkit/framework/framework_results.h"
#include "morrowkit/interfaces.h"

namespace morrowkit {

// A connection to the configuration library. Texts are UTF-8 both ways, a
// target "" is the local machine, and every library failure arrives as an
// HResultException. Flags and counts pass to the library unchanged.
template <class BagHandle>
class Framework {
 public:
  virtual ~Framework() = default;

  // 1. The record of the machine the library runs on.
  virtual BagHandle GetLocalSystem() = 0;
  // 2. The target's hardware records; those that are no property bag are left out.
  virtual std::vector<BagHandle> FindHardware(const std::string& target) = 0;
  // 3. Likewise, only records of one model.
  virtual std::vector<BagHandle> FindHardwareByModel(const std::string& target, std::uint32_t model_code) = 0;
  // 4. The names of the sources that report the target's records.
  virtual std::vector<std::string> GetSourceNames(const std::string& target) = 0;
  // 5. The record of one resource.
  virtual BagHandle FindHardwareByName(const std::string& resource_name) = 0;
  // 6. The target's configuration components, as the library hands them out.
  virtual std::vector<ComPtr<IUnknown>> GetComponents(const std::string& target) = 0;
  // 7. Has the library call handler on each change of target. handler must
  //    outlive the registration (UnregisterNotifications).
  virtual void RegisterNotifications(const std::string& target, FrameworkNotificationHandler* handler) = 0;
  // 8. Removes the target's registration; never throws.
  virtual void UnregisterNotifications(const std::string& target) noexcept = 0;
  // 9. Narrows the record to the tags (keep_others keeps the rest as well);
  //    an empty list throws InvalidArgException. Returns S_OK or S_FALSE.
  virtual std::int32_t SelectProperties(const BagHandle& record, const std::vector<std::uint32_t>& tags,
                                        bool keep_others) = 0;
  // 10. Rereads the target's configuration, waiting up to timeout_ms.
  virtual void RefreshTarget(const std::string& target, std::uint32_t timeout_ms) = 0;
  // 11. Returns S_OK or S_FALSE (nothing to save).
  virtual std::int32_t SaveConfiguration() = 0;
  // 12.
  virtual AliasResolution ResolveAlias(const std::string& target, const std::string& alias,
                                       std::uint32_t options) = 0;
  // 13. The library's detailed text of a failure is the exception's message.
  virtual RecordValidation ValidateRecord(const BagHandle& record, bool strict) = 0;
  // 14.
  virtual void SetAlias(const std::string& target, const std::string& alias, const std::string& resource_name) = 0;
  // 15. A property's value as display text.
  virtual std::string FormatProperty(const BagHandle& record, std::uint32_t tag) = 0;
  // 16.
  virtual void SetTargetEnabled(const std::string& target, bool enabled) = 0;
  // 17.
  virtual std::string DescribeTarget(const std::string& target, bool verbose, std::uint32_t depth) = 0;
  // 18.
  virtual void AddTarget(const std::string& target, const std::string& host_name, const std::string& description,
                         bool replace) = 0;
  // 19.
  virtual void UpdateTarget(const std::string& target, const std::string& host_name,
                            const std::string& description, bool enabled) = 0;
  // 20.
  virtual void RenameTarget(const std::string& target, const std::string& new_name) = 0;
  // 21. The detailed text of a failure is the exception's message.
  virtual ResourceReservation ReserveResource(const std::string& resource_name, std::uint32_t owner) = 0;
  // 22. Returns S_OK or S_FALSE (level unchanged).
  virtual std::int32_t SetTraceLevel(bool enabled, std::uint32_t level) = 0;
  // 23 to 27 need a newer library: when it lacks the interface, the failed
  // query's HRESULT (E_NOINTERFACE) is thrown as HResultException at the
  // operation's check. The detailed text of a failure is the message.
  // 23.
  virtual LicenseState GetLicenseState() = 0;
  // 24.
  virtual ImportedConfiguration<BagHandle> ImportConfiguration() = 0;
  // 25.
  virtual ExportedConfiguration ExportConfiguration() = 0;
  // 26. Every record of every target.
  virtual std::vector<BagHandle> FindAllHardware() = 0;
  // 27.
  virtual std::string GetDiagnosticReport() = 0;
};

}  // namespace morrowkit
