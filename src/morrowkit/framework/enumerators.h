#pragma once
#include <string>
#include <vector>

#include "morrowkit/com_ptr.h"
#include "morrowkit/error_location.h"
#include "morrowkit/interfaces.h"

namespace morrowkit {

// Each walk asks for one item at a time and ends at the first result other
// than S_OK; a null enumerator yields nothing. A failure of Next is thrown at
// the caller's location: a walk cut short by it would pass off part of the
// list as the whole.

// The items that answer the property-bag interface, in the library's order.
std::vector<ComPtr<IqvSysPropertyBag>> ReadPropertyBags(IqvSysEnumUnknown* records, const ErrorLocation& location);

std::vector<ComPtr<IUnknown>> ReadItems(IqvSysEnumUnknown* items, const ErrorLocation& location);

// Each text up to its first zero unit; a null item gives "". Without a
// location a failure of Next just ends the walk.
std::vector<std::string> ReadTexts(IqvSysEnumString* texts, const ErrorLocation* location);

}  // namespace morrowkit
