#include "morrowkit/framework/library_text.h"

#include "pex/co_task_mem_wide_string.h"
#include "pex/utf.h"

namespace morrowkit {

platform::WideString ToLibraryText(const std::string& text) {
  platform::WideString wide;
  kel::pex::AssignUtf8ToWide(text.data(), text.size(), wide);
  return wide;
}

std::string FromLibraryText(BSTR text) {
  std::string result;
  if (text == nullptr) return result;
  const kel::pex::CoTaskMemWideString copy(text);
  kel::pex::AssignWideToUtf8(copy.Data(), copy.Size(), result);
  return result;
}

}  // namespace morrowkit
