#include "morrowkit/framework/enumerators.h"

#include <cstdint>

#include "morrowkit/check_result.h"
#include "pex/ckel_bstr.h"
#include "pex/utf.h"

namespace morrowkit {
namespace {

bool NextItem(IqvSysEnumUnknown& items, ComPtr<IUnknown>& item, const ErrorLocation& location) {
  std::uint32_t fetched = 0;
  const HRESULT result = items.Next(1, item.Put(), &fetched);
  CheckResult(result, location);
  return result == platform::kS_OK;
}

}  // namespace

std::vector<ComPtr<IqvSysPropertyBag>> ReadPropertyBags(IqvSysEnumUnknown* records, const ErrorLocation& location) {
  std::vector<ComPtr<IqvSysPropertyBag>> bags;
  if (records == nullptr) return bags;
  ComPtr<IUnknown> item;
  while (NextItem(*records, item, location)) {
    if (!item) continue;
    ComPtr<IqvSysPropertyBag> bag;
    const HRESULT answer = item->QueryInterface(kIID_IqvSysPropertyBag, reinterpret_cast<void**>(bag.Put()));
    if (platform::Failed(answer) || !bag) continue;
    bags.push_back(std::move(bag));
  }
  return bags;
}

std::vector<ComPtr<IUnknown>> ReadItems(IqvSysEnumUnknown* items, const ErrorLocation& location) {
  std::vector<ComPtr<IUnknown>> result;
  if (items == nullptr) return result;
  ComPtr<IUnknown> item;
  while (NextItem(*items, item, location)) {
    if (item) result.push_back(std::move(item));
  }
  return result;
}

std::vector<std::string> ReadTexts(IqvSysEnumString* texts, const ErrorLocation* location) {
  std::vector<std::string> result;
  if (texts == nullptr) return result;
  kel::pex::CkelBStr text;
  for (;;) {
    std::uint32_t fetched = 0;
    const HRESULT answer = texts->Next(1, text.FreeAndGetAddressOf(), &fetched);
    if (location != nullptr) CheckResult(answer, *location);
    if (answer != platform::kS_OK) break;
    const std::size_t limit = text.Length();
    std::size_t length = 0;
    while (length < limit && text.Get()[length] != 0) ++length;
    result.emplace_back();
    kel::pex::AssignWideToUtf8(text.Get(), length, result.back());
  }
  return result;
}

}  // namespace morrowkit
