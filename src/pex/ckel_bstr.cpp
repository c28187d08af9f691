#include "pex/ckel_bstr.h"

#include "pex/exception.h"

namespace kel {
namespace pex {
namespace {

BSTR Copy(BSTR text) {
  if (text == nullptr) return nullptr;
  BSTR copy = platform::SysAllocString(text);
  if (copy == nullptr) throw BadAllocation();
  return copy;
}

}  // namespace

CkelBStr::CkelBStr(BSTR text, bool attach) : text_(attach ? text : Copy(text)) {}

CkelBStr::CkelBStr(const CkelBStr& other) : text_(Copy(other.text_)) {}

CkelBStr& CkelBStr::operator=(const CkelBStr& other) {
  Assign(other.text_);
  return *this;
}

CkelBStr::~CkelBStr() { Free(); }

void CkelBStr::Assign(BSTR text) {
  // Copy before freeing: text may be the string held here.
  BSTR copy = Copy(text);
  Free();
  text_ = copy;
}

void CkelBStr::Attach(BSTR text) {
  if (text == text_) return;
  Free();
  text_ = text;
}

BSTR CkelBStr::Detach() {
  BSTR text = text_;
  text_ = nullptr;
  return text;
}

void CkelBStr::Free() {
  if (text_ != nullptr) platform::SysFreeString(text_);
  text_ = nullptr;
}

BSTR* CkelBStr::FreeAndGetAddressOf() {
  Free();
  return &text_;
}

std::uint32_t CkelBStr::Length() const {
  return text_ == nullptr ? 0 : platform::SysStringLen(text_);
}

}  // namespace pex
}  // namespace kel
