#include "morrowkit/propbag/property_bag_handle.h"

#include "morrowkit/check_result.h"
#include "morrowkit/hresult_exception.h"
#include "pex/ckel_bstr.h"
#include "pex/utf.h"

namespace morrowkit {
namespace {

constexpr ErrorLocation kNullBag = {kPropertyBagHandleFile, 39, kComponent};
constexpr ErrorLocation kRead = {kPropertyBagHandleFile, 305, kComponent};
constexpr ErrorLocation kIndexTooLarge = {kPropertyBagHandleFile, 353, kComponent};

}  // namespace

PropertyBagHandle::PropertyBagHandle(IqvSysPropertyBag* bag) : bag_(bag) {
  if (!bag_) throw UnexpectedException(kNullBag);
}

bool PropertyBagHandle::HasProperty(std::uint32_t tag) const { return bag_->HasProperty(tag) == platform::kS_OK; }

std::int32_t PropertyBagHandle::GetInt32(std::uint32_t tag) const {
  std::int32_t value = 0;
  CheckResult(bag_->GetInt32(tag, &value), kRead);
  return value;
}

std::uint32_t PropertyBagHandle::GetUInt32(std::uint32_t tag) const {
  std::uint32_t value = 0;
  CheckResult(bag_->GetUInt32(tag, &value), kRead);
  return value;
}

std::string PropertyBagHandle::GetString(std::uint32_t tag) const {
  kel::pex::CkelBStr value;
  const HRESULT result = bag_->GetString(tag, value.FreeAndGetAddressOf());
  CheckResult(result, kRead);
  std::string text;
  if (result == platform::kS_OK) kel::pex::AssignWideToUtf8(value.Get(), value.Length(), text);
  return text;
}

std::string PropertyBagHandle::GetIndexedString(std::uint32_t base_tag, std::uint32_t index) const {
  if (index >= kIndexLimit) throw FailException(kIndexTooLarge);
  return GetString(base_tag + index);
}

}  // namespace morrowkit
