#include "operation.h"

#include "text_convert.h"

namespace kelmorrow {

Bstr::Bstr(const platform::WideString& text)
    : text_(platform::SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()))) {
  if (text_ == nullptr) throw std::bad_alloc();
}

Bstr::Bstr(std::string_view utf8) : Bstr(ToWide(utf8)) {}

}  // namespace kelmorrow
