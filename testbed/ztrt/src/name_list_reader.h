#pragma once
#include <cstdint>

#include "handle_table.h"
#include "variant.h"

namespace ztrt {

// Reads a delivered name list: an 8-byte head whose first 4 bytes are the
// element count, then pointer-sized slots, each a variant or zero.
class NameListReader {
 public:
  NameListReader(const HandleTable& handles, const VariantStore& variants, const void* list) noexcept;

  bool Valid() const noexcept { return block_ != nullptr; }
  std::int32_t Count() const noexcept;
  // Slots that fit in the block, whatever the count says.
  std::int32_t Capacity() const noexcept;
  // A status of the control API; variant is null for an empty slot.
  int Element(std::int32_t index, Variant*& variant) const noexcept;

 private:
  static constexpr std::size_t kHead = 8;

  const VariantStore& variants_;
  const HandleTable::Block* block_ = nullptr;
};

}  // namespace ztrt
