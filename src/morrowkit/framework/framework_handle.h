#pragma once
#include "morrowkit/com_ptr.h"
#include "morrowkit/framework/framework.h"
#include "morrowkit/interfaces.h"
#include "morrowkit/propbag/property_bag_handle.h"

namespace morrowkit {

// Owns one connection to the library and, from the first registration on,
// the one notifier object that serves every registration made through it.
// Shared through boost::shared_ptr; holds no lock.
template <class BagHandle>
class FrameworkHandle final : public Framework<BagHandle> {
 public:
  // Connects through kelsysInstantiateFramework2.
  FrameworkHandle(bool flag1, bool flag2);
  FrameworkHandle(const FrameworkHandle&) = delete;
  FrameworkHandle& operator=(const FrameworkHandle&) = delete;
  // Releases the notifier, then the framework; unregisters nothing.
  ~FrameworkHandle() override;

  BagHandle GetLocalSystem() override;
  std::vector<BagHandle> FindHardware(const std::string& target) override;
  std::vector<BagHandle> FindHardwareByModel(const std::string& target, std::uint32_t model_code) override;
  std::vector<std::string> GetSourceNames(const std::string& target) override;
  BagHandle FindHardwareByName(const std::string& resource_name) override;
  std::vector<ComPtr<IUnknown>> GetComponents(const std::string& target) override;
  void RegisterNotifications(const std::string& target, FrameworkNotificationHandler* handler) override;
  void UnregisterNotifications(const std::string& target) noexcept override;
  std::int32_t SelectProperties(const BagHandle& record, const std::vector<std::uint32_t>& tags,
                                bool keep_others) override;
  void RefreshTarget(const std::string& target, std::uint32_t timeout_ms) override;
  std::int32_t SaveConfiguration() override;
  AliasResolution ResolveAlias(const std::string& target, const std::string& alias,
                               std::uint32_t options) override;
  RecordValidation ValidateRecord(const BagHandle& record, bool strict) override;
  void SetAlias(const std::string& target, const std::string& alias, const std::string& resource_name) override;
  std::string FormatProperty(const BagHandle& record, std::uint32_t tag) override;
  void SetTargetEnabled(const std::string& target, bool enabled) override;
  std::string DescribeTarget(const std::string& target, bool verbose, std::uint32_t depth) override;
  void AddTarget(const std::string& target, const std::string& host_name, const std::string& description,
                 bool replace) override;
  void UpdateTarget(const std::string& target, const std::string& host_name, const std::string& description,
                    bool enabled) override;
  void RenameTarget(const std::string& target, const std::string& new_name) override;
  ResourceReservation ReserveResource(const std::string& resource_name, std::uint32_t owner) override;
  std::int32_t SetTraceLevel(bool enabled, std::uint32_t level) override;
  LicenseState GetLicenseState() override;
  ImportedConfiguration<BagHandle> ImportConfiguration() override;
  ExportedConfiguration ExportConfiguration() override;
  std::vector<BagHandle> FindAllHardware() override;
  std::string GetDiagnosticReport() override;

 private:
  ComPtr<IqvSysFramework> framework_;
  ComPtr<IqvSysNotificationHandler> notifier_;
};

extern template class FrameworkHandle<PropertyBagHandle>;

}  // namespace morrowkit
