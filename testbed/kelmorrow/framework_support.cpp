#include "framework_support.h"

#include "enum_unknown.h"
#include "operation.h"
#include "property_bag.h"
#include "text_convert.h"

namespace kelmorrow {

std::optional<std::string> NameFromCaller(const platform::WideChar* name) { return ToUtf8(FromCaller(name)); }

morrowkit::IqvSysEnumUnknown* RecordEnumerator(const std::vector<RecordPtr>& records) {
  std::vector<morrowkit::ComPtr<morrowkit::IUnknown>> items;
  items.reserve(records.size());
  for (const RecordPtr& record : records) {
    items.push_back(morrowkit::ComPtr<morrowkit::IUnknown>::Attach(PropertyBag::Create(record)));
  }
  return EnumUnknown::Create(std::move(items));
}

HRESULT HandBag(const RecordPtr& record, morrowkit::IqvSysPropertyBag** out) {
  if (record->refusesPropertyBag) return platform::kE_NOINTERFACE;
  *out = PropertyBag::Create(record);
  return platform::kS_OK;
}

HRESULT FailWithDetail(HRESULT result, BSTR* detail, std::string_view text) {
  if (detail != nullptr) {
    platform::SysFreeString(*detail);
    *detail = Bstr(text).Detach();
  }
  return result;
}

bool IsFlag(std::int32_t value) { return value == 0 || value == 1; }

}  // namespace kelmorrow
