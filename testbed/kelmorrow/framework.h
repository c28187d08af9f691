#pragma once
// The framework object that kelsysInstantiateFramework2 hands out. Every
// instance works on the library's one model. Each has a serial number of its
// own, which, unlike its address, is never used again. After the service
// restarts, an object made before answers every call but those of IUnknown
// with RPC_E_DISCONNECTED.
#include <cstdint>

#include "framework_support.h"
#include "morrowkit/interfaces.h"
#include "operation.h"
#include "ref_count.h"

namespace kelmorrow {

class Framework final : public morrowkit::IqvSysFramework3, public morrowkit::IqvSysDiagnostics {
 public:
  // One reference, owned by the caller: to a new object, or when shared to
  // the shared one while it lives.
  static Framework* Obtain(bool flag1, bool flag2, bool shared);

  std::uint64_t serial() const { return serial_; }

  HRESULT QueryInterface(const morrowkit::Iid& iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;

  // Hardware (framework_hardware.cpp)
  HRESULT FindHardware(const platform::WideChar* target, morrowkit::IqvSysEnumUnknown** records) override;
  HRESULT FindHardwareByModel(const platform::WideChar* target, std::uint32_t modelCode, void* reserved,
                              morrowkit::IqvSysEnumUnknown** records) override;
  HRESULT GetSourceNames(const platform::WideChar* target, morrowkit::IqvSysEnumString** names) override;
  HRESULT FindHardwareByName(const platform::WideChar* resourceName, morrowkit::IqvSysPropertyBag** record) override;
  HRESULT GetComponents(const platform::WideChar* target, morrowkit::IqvSysEnumUnknown** components) override;
  HRESULT SelectProperties(morrowkit::IqvSysPropertyBag* record, const std::uint32_t* tags, std::uint32_t count,
                           std::int32_t keepOthers) override;
  HRESULT GetLocalSystem(morrowkit::IqvSysPropertyBag** record) override;
  HRESULT FindAllHardware(morrowkit::IqvSysEnumUnknown** records) override;

  // Targets, aliases and notifications (framework_targets.cpp)
  HRESULT SetNotificationHandler(const platform::WideChar* target, morrowkit::IqvSysNotificationHandler* handler,
                                 void* context) override;
  HRESULT RefreshTarget(const platform::WideChar* target, std::uint32_t timeoutMs) override;
  HRESULT ResolveAlias(const platform::WideChar* target, const platform::WideChar* alias, std::uint32_t options,
                       std::int32_t* found, BSTR* resourceName, BSTR* targetName) override;
  HRESULT SetAlias(const platform::WideChar* target, const platform::WideChar* alias,
                   const platform::WideChar* resourceName) override;
  HRESULT SetTargetEnabled(const platform::WideChar* target, std::int32_t enabled) override;
  HRESULT DescribeTarget(const platform::WideChar* target, std::int32_t verbose, std::uint32_t depth,
                         BSTR* description) override;
  HRESULT AddTarget(const platform::WideChar* target, const platform::WideChar* hostName,
                    const platform::WideChar* description, std::int32_t replace, void* reserved) override;
  HRESULT UpdateTarget(const platform::WideChar* target, const platform::WideChar* hostName,
                       const platform::WideChar* description, std::int32_t enabled) override;
  HRESULT RenameTarget(const platform::WideChar* target, const platform::WideChar* newName) override;

  // Records (framework_records.cpp)
  HRESULT ValidateRecord(morrowkit::IqvSysPropertyBag* record, std::int32_t strict, std::int32_t* valid, BSTR* report,
                         BSTR* detail) override;
  HRESULT FormatProperty(morrowkit::IqvSysPropertyBag* record, std::uint32_t tag, BSTR* text) override;
  HRESULT ReserveResource(const platform::WideChar* resourceName, std::uint32_t owner, std::int32_t* previousOwner,
                          BSTR* holder, BSTR* detail) override;

  // Configuration and diagnostics (framework_configuration.cpp)
  HRESULT SaveConfiguration() override;
  HRESULT SetTraceLevel(std::int32_t enabled, std::uint32_t level) override;
  HRESULT GetLicenseState(std::int32_t* licensed, BSTR* text, BSTR* detail) override;
  HRESULT ImportConfiguration(morrowkit::IqvSysPropertyBag** settings, BSTR* source, BSTR* detail) override;
  HRESULT ExportConfiguration(std::int32_t* complete, BSTR* text, BSTR* detail) override;
  HRESULT GetErrorCount(std::uint32_t* count) override;
  HRESULT GetReport(BSTR* report, BSTR* detail) override;

  HRESULT Reserved18() override;
  HRESULT Reserved19() override;
  HRESULT Reserved20() override;
  HRESULT Reserved21() override;
  HRESULT Reserved29() override;
  HRESULT Reserved30() override;
  HRESULT Reserved31() override;
  HRESULT Reserved32() override;

 private:
  Framework(bool flag1, bool flag2);
  ~Framework() = default;

  bool Disconnected() const;
  // RunOperation, for a method of this object.
  template <class Body>
  HRESULT Run(const char* operation, BSTR* detail, Body&& body);

  RefCount refs_;
  const std::uint64_t serial_;
  const std::uint64_t service_;  // the library's Notifier::Service() when made
  const bool flag1_;
  const bool flag2_;
};

template <class Body>
HRESULT Framework::Run(const char* operation, BSTR* detail, Body&& body) {
  return RunOperation(operation, detail, [&]() -> HRESULT {
    if (Disconnected()) {
      return FailWithDetail(kRpcE_Disconnected, detail,
                            "the framework object was disconnected: the service restarted");
    }
    return body();
  });
}

}  // namespace kelmorrow
