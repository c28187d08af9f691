#include "name_list_reader.h"

#include <cstring>

#include "ztrtsim.h"

namespace ztrt {

NameListReader::NameListReader(const HandleTable& handles, const VariantStore& variants,
                               const void* list) noexcept
    : variants_(variants) {
  const HandleTable::Block* block = handles.Find(list);
  if (block != nullptr && block->owner == Owner::Caller && block->size >= kHead) block_ = block;
}

std::int32_t NameListReader::Count() const noexcept {
  if (block_ == nullptr) return -1;
  std::int32_t count = 0;
  std::memcpy(&count, block_->data, sizeof count);
  return count;
}

std::int32_t NameListReader::Capacity() const noexcept {
  if (block_ == nullptr) return -1;
  return static_cast<std::int32_t>((block_->size - kHead) / sizeof(void*));
}

int NameListReader::Element(std::int32_t index, Variant*& variant) const noexcept {
  if (block_ == nullptr) return ZTRTSIM_ERR_HANDLE;
  if (index < 0 || index >= Capacity()) return ZTRTSIM_ERR_NOT_FOUND;
  void* slot = nullptr;
  std::memcpy(&slot, static_cast<const char*>(block_->data) + kHead + sizeof(void*) * index, sizeof slot);
  variant = nullptr;
  if (slot == nullptr) return ZTRTSIM_OK;
  variant = variants_.Find(slot);
  return variant != nullptr ? ZTRTSIM_OK : ZTRTSIM_ERR_VARIANT;
}

}  // namespace ztrt
