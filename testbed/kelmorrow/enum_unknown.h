#pragma once
#include <vector>

#include "enumerator.h"
#include "morrowkit/com_ptr.h"

namespace kelmorrow {

struct UnknownEnumeration {
  using Interface = morrowkit::IqvSysEnumUnknown;
  using Item = morrowkit::ComPtr<morrowkit::IUnknown>;
  using Out = morrowkit::IUnknown*;
  static void Hand(const Item& item, morrowkit::IUnknown*& out) {
    out = item.Get();
    out->AddRef();
  }
  static void Undo(morrowkit::IUnknown*& out) {
    out->Release();
    out = nullptr;
  }
  static const morrowkit::Iid& Iid() { return morrowkit::kIID_IqvSysEnumUnknown; }
};

using EnumUnknown = Enumerator<UnknownEnumeration>;

}  // namespace kelmorrow
