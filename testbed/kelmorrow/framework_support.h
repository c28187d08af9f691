#pragma once
// Pieces shared by the framework's operations.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hardware_model.h"
#include "morrowkit/interfaces.h"
#include "platform/ole.h"

namespace kelmorrow {

// A caller's UTF-16 name as UTF-8; empty when it holds an unpaired surrogate.
std::optional<std::string> NameFromCaller(const platform::WideChar* name);

// One property bag per record, in order; one reference, owned by the caller.
morrowkit::IqvSysEnumUnknown* RecordEnumerator(const std::vector<RecordPtr>& records);

// E_NOINTERFACE when the record refuses the property-bag interface.
HRESULT HandBag(const RecordPtr& record, morrowkit::IqvSysPropertyBag** out);

// Fills an optional detail out parameter and passes `result` on.
HRESULT FailWithDetail(HRESULT result, BSTR* detail, std::string_view text);

// 0 or 1 only.
bool IsFlag(std::int32_t value);

}  // namespace kelmorrow
