#pragma once
#include <string>
#include <vector>

#include "morrowkit/com_ptr.h"
#include "morrowkit/interfaces.h"

namespace morrowkit {

// Each walk asks for one item at a time and ends silently at the first
// result other than S_OK; a null enumerator yields nothing.

// The items that answer the property-bag interface, in the library's order.
std::vector<ComPtr<IqvSysPropertyBag>> ReadPropertyBags(IqvSysEnumUnknown* records);

std::vector<ComPtr<IUnknown>> ReadItems(IqvSysEnumUnknown* items);

// Each text up to its first zero unit; a null item gives "".
std::vector<std::string> ReadTexts(IqvSysEnumString* texts);

}  // namespace morrowkit
