#include "morrowkit/hresult_exception.h"

#include <string_view>

#include "kelerr/json_append.h"
#include "kelerr/json_scanner.h"
#include "kelerr/merge_status.h"
#include "pex/utf.h"

namespace morrowkit {
namespace {

std::string_view TextOrEmpty(const char* text) {
  return text != nullptr ? std::string_view(text) : std::string_view();
}

std::size_t LengthOf(const platform::WideChar* text) {
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

}  // namespace

HResultException::HResultException(HRESULT code, const ErrorLocation& location) noexcept {
  status_.code = static_cast<std::int32_t>(code);
  // Without memory the members are left out; the code still stands.
  if (!status_.resize(&status_, 4) || status_.json == nullptr) return;
  char* position = kelerr::FindAppendPoint(status_.json);
  position = kelerr::AppendString(position, "file", TextOrEmpty(location.file), kelerr::GrowRecord(status_));
  position = kelerr::AppendInt(position, "line", location.line, kelerr::GrowRecord(status_));
  if (location.component != nullptr) {
    kelerr::AppendString(position, "component", location.component, kelerr::GrowRecord(status_));
  }
}

HResultException::HResultException(HRESULT code, const ErrorLocation& location,
                                   const platform::WideChar* detail)
    : HResultException(code, location) {
  if (detail != nullptr) kel::pex::AssignWideToUtf8(detail, LengthOf(detail), message_);
}

HResultException::HResultException(const HResultException& other)
    : std::exception(other), message_(other.message_) {
  kelerr::MergeStatus(status_, other.status_);
}

HResultException::~HResultException() { status_.Clear(); }

const char* HResultException::GetErrorJson() const noexcept { return status_.json; }

const char* HResultException::what() const noexcept { return message_.c_str(); }

}  // namespace morrowkit
