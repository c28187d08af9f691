#pragma once
#include <vector>

#include "enumerator.h"
#include "platform/ole.h"
#include "platform/wide.h"

namespace kelmorrow {

struct StringEnumeration {
  using Interface = morrowkit::IqvSysEnumString;
  using Item = platform::WideString;
  using Out = BSTR;
  static void Hand(const Item& item, BSTR& out) { out = Bstr(item).Detach(); }
  static void Undo(BSTR& out) {
    platform::SysFreeString(out);
    out = nullptr;
  }
  static const morrowkit::Iid& Iid() { return morrowkit::kIID_IqvSysEnumString; }
};

using EnumString = Enumerator<StringEnumeration>;

}  // namespace kelmorrow
