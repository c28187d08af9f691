#pragma once
// Owner of one BSTR; null when empty.
#include <cstdint>

#include "platform/ole.h"

namespace kel {
namespace pex {

class CkelBStr {
 public:
  CkelBStr() = default;
  // With attach set (or for null) takes over text, otherwise stores a copy.
  explicit CkelBStr(BSTR text, bool attach = false);
  CkelBStr(const CkelBStr& other);
  CkelBStr& operator=(const CkelBStr& other);
  ~CkelBStr();

  // Stores a copy of text; the held string stays if the copy cannot be made.
  void Assign(BSTR text);
  void Attach(BSTR text);
  BSTR Detach();
  void Free();

  // For out parameters. Frees what is held first, so nothing leaks when the
  // callee overwrites the pointer.
  BSTR* FreeAndGetAddressOf();

  BSTR Get() const { return text_; }
  std::uint32_t Length() const;

 private:
  BSTR text_ = nullptr;
};

}  // namespace pex
}  // namespace kel
