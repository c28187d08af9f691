#include "morrowkit/framework/framework_handle.h"

#include <limits>

#include "morrowkit/check_result.h"
#include "morrowkit/framework/cqv_notification_handler.h"
#include "morrowkit/framework/enumerators.h"
#include "morrowkit/framework/library_text.h"
#include "morrowkit/hresult_exception.h"
#include "pex/ckel_bstr.h"

namespace morrowkit {
namespace {

using kel::pex::CkelBStr;

constexpr ErrorLocation At(std::int32_t line) { return {kFrameworkHandleFile, line, kComponent}; }

constexpr std::int32_t Flag(bool value) { return value ? 1 : 0; }

template <class BagHandle>
std::vector<BagHandle> ToHandles(const std::vector<ComPtr<IqvSysPropertyBag>>& bags) {
  std::vector<BagHandle> handles;
  handles.reserve(bags.size());
  for (const ComPtr<IqvSysPropertyBag>& bag : bags) handles.emplace_back(bag.Get());
  return handles;
}

// A framework that answers no such query gets the query's failure thrown at
// the operation's own check.
template <class Interface>
ComPtr<Interface> Query(IqvSysFramework& framework, const Iid& iid, const ErrorLocation& location) {
  ComPtr<Interface> result;
  CheckResult(framework.QueryInterface(iid, reinterpret_cast<void**>(result.Put())), location);
  if (!result) throw UnexpectedException(location);
  return result;
}

}  // namespace

template <class BagHandle>
FrameworkHandle<BagHandle>::FrameworkHandle(bool flag1, bool flag2) {
  CheckResult(kelsysInstantiateFramework2(Flag(flag1), Flag(flag2), framework_.Put()), At(33));
  // Every operation goes through the reference: a library that reports
  // success without one is unusable.
  if (!framework_) throw UnexpectedException(At(33));
}

template <class BagHandle>
FrameworkHandle<BagHandle>::~FrameworkHandle() {
  notifier_.Reset();
  framework_.Reset();
}

template <class BagHandle>
BagHandle FrameworkHandle<BagHandle>::GetLocalSystem() {
  ComPtr<IqvSysPropertyBag> record;
  CheckResult(framework_->GetLocalSystem(record.Put()), At(201));
  return BagHandle(record.Get());
}

template <class BagHandle>
std::vector<BagHandle> FrameworkHandle<BagHandle>::FindHardware(const std::string& target) {
  const platform::WideString wide_target = ToLibraryText(target);
  ComPtr<IqvSysEnumUnknown> records;
  CheckResult(framework_->FindHardware(wide_target.c_str(), records.Put()), At(216));
  return ToHandles<BagHandle>(ReadPropertyBags(records.Get(), At(216)));
}

template <class BagHandle>
std::vector<BagHandle> FrameworkHandle<BagHandle>::FindHardwareByModel(const std::string& target,
                                                                       std::uint32_t model_code) {
  const platform::WideString wide_target = ToLibraryText(target);
  ComPtr<IqvSysEnumUnknown> records;
  CheckResult(framework_->FindHardwareByModel(wide_target.c_str(), model_code, nullptr, records.Put()), At(233));
  return ToHandles<BagHandle>(ReadPropertyBags(records.Get(), At(233)));
}

template <class BagHandle>
std::vector<std::string> FrameworkHandle<BagHandle>::GetSourceNames(const std::string& target) {
  const platform::WideString wide_target = ToLibraryText(target);
  ComPtr<IqvSysEnumString> names;
  CheckResult(framework_->GetSourceNames(wide_target.c_str(), names.Put()), At(247));
  const ErrorLocation location = At(247);
  return ReadTexts(names.Get(), &location);
}

template <class BagHandle>
BagHandle FrameworkHandle<BagHandle>::FindHardwareByName(const std::string& resource_name) {
  const platform::WideString wide_name = ToLibraryText(resource_name);
  ComPtr<IqvSysPropertyBag> record;
  CheckResult(framework_->FindHardwareByName(wide_name.c_str(), record.Put()), At(274));
  return BagHandle(record.Get());
}

template <class BagHandle>
std::vector<ComPtr<IUnknown>> FrameworkHandle<BagHandle>::GetComponents(const std::string& target) {
  const platform::WideString wide_target = ToLibraryText(target);
  ComPtr<IqvSysEnumUnknown> components;
  CheckResult(framework_->GetComponents(wide_target.c_str(), components.Put()), At(289));
  return ReadItems(components.Get(), At(289));
}

template <class BagHandle>
void FrameworkHandle<BagHandle>::RegisterNotifications(const std::string& target,
                                                       FrameworkNotificationHandler* handler) {
  const platform::WideString wide_target = ToLibraryText(target);
  if (!notifier_) {
    CKelComObject<CqvNotificationHandler>* notifier = nullptr;
    const HRESULT created = CKelComObject<CqvNotificationHandler>::CreateInstance(&notifier);
    if (platform::Failed(created)) throw static_cast<long>(created);
    notifier_ = ComPtr<IqvSysNotificationHandler>(notifier);
  }
  CheckResult(framework_->SetNotificationHandler(wide_target.c_str(), notifier_.Get(), handler), At(316));
}

template <class BagHandle>
void FrameworkHandle<BagHandle>::UnregisterNotifications(const std::string& target) noexcept {
  // Called from destructors. A target that cannot be converted (or no
  // memory for it) was never registered either, so there is nothing to undo.
  try {
    const platform::WideString wide_target = ToLibraryText(target);
    framework_->SetNotificationHandler(wide_target.c_str(), nullptr, nullptr);
  } catch (...) {
  }
}

template <class BagHandle>
std::int32_t FrameworkHandle<BagHandle>::SelectProperties(const BagHandle& record,
                                                          const std::vector<std::uint32_t>& tags,
                                                          bool keep_others) {
  if (tags.empty() || tags.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw InvalidArgException(At(336));
  }
  const HRESULT result = framework_->SelectProperties(record.Get(), tags.data(),
                                                      static_cast<std::uint32_t>(tags.size()), Flag(keep_others));
  CheckResult(result, At(341));
  return result;
}

template <class BagHandle>
void FrameworkHandle<BagHandle>::RefreshTarget(const std::string& target, std::uint32_t timeout_ms) {
  const platform::WideString wide_target = ToLibraryText(target);
  CheckResult(framework_->RefreshTarget(wide_target.c_str(), timeout_ms), At(349));
}

template <class BagHandle>
std::int32_t FrameworkHandle<BagHandle>::SaveConfiguration() {
  const HRESULT result = framework_->SaveConfiguration();
  CheckResult(result, At(355));
  return result;
}

template <class BagHandle>
AliasResolution FrameworkHandle<BagHandle>::ResolveAlias(const std::string& target, const std::string& alias,
                                                         std::uint32_t options) {
  const platform::WideString wide_target = ToLibraryText(target);
  const platform::WideString wide_alias = ToLibraryText(alias);
  std::int32_t found = 0;
  CkelBStr resource_name;
  CkelBStr target_name;
  CheckResult(framework_->ResolveAlias(wide_target.c_str(), wide_alias.c_str(), options, &found,
                                       resource_name.FreeAndGetAddressOf(), target_name.FreeAndGetAddressOf()),
              At(371));
  return {found != 0, FromLibraryText(resource_name.Get()), FromLibraryText(target_name.Get())};
}

template <class BagHandle>
RecordValidation FrameworkHandle<BagHandle>::ValidateRecord(const BagHandle& record, bool strict) {
  std::int32_t valid = 0;
  CkelBStr report;
  CkelBStr detail;
  const HRESULT result = framework_->ValidateRecord(record.Get(), Flag(strict), &valid,
                                                    report.FreeAndGetAddressOf(), detail.FreeAndGetAddressOf());
  CheckResult(result, At(390), detail.Get());
  return {valid != 0, FromLibraryText(report.Get())};
}

template <class BagHandle>
void FrameworkHandle<BagHandle>::SetAlias(const std::string& target, const std::string& alias,
                                          const std::string& resource_name) {
  const platform::WideString wide_target = ToLibraryText(target);
  const platform::WideString wide_alias = ToLibraryText(alias);
  const platform::WideString wide_name = ToLibraryText(resource_name);
  CheckResult(framework_->SetAlias(wide_target.c_str(), wide_alias.c_str(), wide_name.c_str()), At(405));
}

template <class BagHandle>
std::string FrameworkHandle<BagHandle>::FormatProperty(const BagHandle& record, std::uint32_t tag) {
  CkelBStr text;
  CheckResult(framework_->FormatProperty(record.Get(), tag, text.FreeAndGetAddressOf()), At(413));
  return FromLibraryText(text.Get());
}

template <class BagHandle>
void FrameworkHandle<BagHandle>::SetTargetEnabled(const std::string& target, bool enabled) {
  const platform::WideString wide_target = ToLibraryText(target);
  CheckResult(framework_->SetTargetEnabled(wide_target.c_str(), Flag(enabled)), At(428));
}

template <class BagHandle>
std::string FrameworkHandle<BagHandle>::DescribeTarget(const std::string& target, bool verbose,
                                                       std::uint32_t depth) {
  const platform::WideString wide_target = ToLibraryText(target);
  CkelBStr description;
  CheckResult(
      framework_->DescribeTarget(wide_target.c_str(), Flag(verbose), depth, description.FreeAndGetAddressOf()),
      At(441));
  return FromLibraryText(description.Get());
}

template <class BagHandle>
void FrameworkHandle<BagHandle>::AddTarget(const std::string& target, const std::string& host_name,
                                           const std::string& description, bool replace) {
  const platform::WideString wide_target = ToLibraryText(target);
  const platform::WideString wide_host = ToLibraryText(host_name);
  const platform::WideString wide_description = ToLibraryText(description);
  CheckResult(framework_->AddTarget(wide_target.c_str(), wide_host.c_str(), wide_description.c_str(),
                                    Flag(replace), nullptr),
              At(457));
}

template <class BagHandle>
void FrameworkHandle<BagHandle>::UpdateTarget(const std::string& target, const std::string& host_name,
                                              const std::string& description, bool enabled) {
  const platform::WideString wide_target = ToLibraryText(target);
  const platform::WideString wide_host = ToLibraryText(host_name);
  const platform::WideString wide_description = ToLibraryText(description);
  CheckResult(framework_->UpdateTarget(wide_target.c_str(), wide_host.c_str(), wide_description.c_str(),
                                       Flag(enabled)),
              At(474));
}

template <class BagHandle>
void FrameworkHandle<BagHandle>::RenameTarget(const std::string& target, const std::string& new_name) {
  const platform::WideString wide_target = ToLibraryText(target);
  const platform::WideString wide_name = ToLibraryText(new_name);
  CheckResult(framework_->RenameTarget(wide_target.c_str(), wide_name.c_str()), At(486));
}

template <class BagHandle>
ResourceReservation FrameworkHandle<BagHandle>::ReserveResource(const std::string& resource_name,
                                                                std::uint32_t owner) {
  const platform::WideString wide_name = ToLibraryText(resource_name);
  std::int32_t previous_owner = 0;
  CkelBStr holder;
  CkelBStr detail;
  const HRESULT result = framework_->ReserveResource(wide_name.c_str(), owner, &previous_owner,
                                                     holder.FreeAndGetAddressOf(), detail.FreeAndGetAddressOf());
  CheckResult(result, At(502), detail.Get());
  return {previous_owner, FromLibraryText(holder.Get())};
}

template <class BagHandle>
std::int32_t FrameworkHandle<BagHandle>::SetTraceLevel(bool enabled, std::uint32_t level) {
  const HRESULT result = framework_->SetTraceLevel(Flag(enabled), level);
  CheckResult(result, At(510));
  return result;
}

template <class BagHandle>
LicenseState FrameworkHandle<BagHandle>::GetLicenseState() {
  const ComPtr<IqvSysFramework2> framework2 = Query<IqvSysFramework2>(*framework_.Get(), kIID_IqvSysFramework2, At(526));
  std::int32_t licensed = 0;
  CkelBStr text;
  CkelBStr detail;
  const HRESULT result =
      framework2->GetLicenseState(&licensed, text.FreeAndGetAddressOf(), detail.FreeAndGetAddressOf());
  CheckResult(result, At(526), detail.Get());
  return {licensed != 0, FromLibraryText(text.Get())};
}

template <class BagHandle>
ImportedConfiguration<BagHandle> FrameworkHandle<BagHandle>::ImportConfiguration() {
  const ComPtr<IqvSysFramework2> framework2 = Query<IqvSysFramework2>(*framework_.Get(), kIID_IqvSysFramework2, At(543));
  ComPtr<IqvSysPropertyBag> settings;
  CkelBStr source;
  CkelBStr detail;
  const HRESULT result =
      framework2->ImportConfiguration(settings.Put(), source.FreeAndGetAddressOf(), detail.FreeAndGetAddressOf());
  CheckResult(result, At(543), detail.Get());
  return {BagHandle(settings.Get()), FromLibraryText(source.Get())};
}

template <class BagHandle>
ExportedConfiguration FrameworkHandle<BagHandle>::ExportConfiguration() {
  const ComPtr<IqvSysFramework2> framework2 = Query<IqvSysFramework2>(*framework_.Get(), kIID_IqvSysFramework2, At(572));
  std::int32_t complete = 0;
  CkelBStr text;
  CkelBStr detail;
  const HRESULT result =
      framework2->ExportConfiguration(&complete, text.FreeAndGetAddressOf(), detail.FreeAndGetAddressOf());
  CheckResult(result, At(572), detail.Get());
  return {complete != 0, FromLibraryText(text.Get())};
}

template <class BagHandle>
std::vector<BagHandle> FrameworkHandle<BagHandle>::FindAllHardware() {
  const ComPtr<IqvSysFramework3> framework3 = Query<IqvSysFramework3>(*framework_.Get(), kIID_IqvSysFramework3, At(583));
  ComPtr<IqvSysEnumUnknown> records;
  CheckResult(framework3->FindAllHardware(records.Put()), At(583));
  return ToHandles<BagHandle>(ReadPropertyBags(records.Get(), At(583)));
}

template <class BagHandle>
std::string FrameworkHandle<BagHandle>::GetDiagnosticReport() {
  const ComPtr<IqvSysDiagnostics> diagnostics =
      Query<IqvSysDiagnostics>(*framework_.Get(), kIID_IqvSysDiagnostics, At(601));
  CkelBStr report;
  CkelBStr detail;
  const HRESULT result = diagnostics->GetReport(report.FreeAndGetAddressOf(), detail.FreeAndGetAddressOf());
  CheckResult(result, At(601), detail.Get());
  return FromLibraryText(report.Get());
}

template class FrameworkHandle<PropertyBagHandle>;

}  // namespace morrowkit
