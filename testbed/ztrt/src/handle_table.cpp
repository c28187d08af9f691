#include "handle_table.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace ztrt {

HandleTable::~HandleTable() { Clear(); }

void** HandleTable::Allocate(std::size_t size, Owner owner) noexcept {
  if (size > kMaxBlockSize) return nullptr;
  // A zero-sized block still needs an address of its own.
  void* data = std::calloc(size == 0 ? 1 : size, 1);
  if (data == nullptr) return nullptr;
  void** pointer = TakeMasterPointer();
  if (pointer == nullptr) {
    std::free(data);
    return nullptr;
  }
  try {
    live_.emplace(pointer, Block{data, size, owner});
  } catch (...) {
    ReturnMasterPointer(pointer);
    std::free(data);
    return nullptr;
  }
  *pointer = data;
  return pointer;
}

bool HandleTable::Resize(const void* handle, std::size_t size) noexcept {
  auto it = live_.find(handle);
  if (it == live_.end() || size > kMaxBlockSize) return false;
  Block& block = it->second;
  void* data = std::realloc(block.data, size == 0 ? 1 : size);
  if (data == nullptr) return false;
  if (size > block.size) std::memset(static_cast<char*>(data) + block.size, 0, size - block.size);
  block.data = data;
  block.size = size;
  *static_cast<void**>(const_cast<void*>(handle)) = data;
  return true;
}

bool HandleTable::Release(const void* handle) noexcept {
  auto it = live_.find(handle);
  if (it == live_.end()) return false;
  std::free(it->second.data);
  live_.erase(it);
  ReturnMasterPointer(static_cast<void**>(const_cast<void*>(handle)));
  return true;
}

const HandleTable::Block* HandleTable::Find(const void* handle) const noexcept {
  auto it = live_.find(handle);
  return it == live_.end() ? nullptr : &it->second;
}

std::size_t HandleTable::Count(Owner owner) const noexcept {
  std::size_t count = 0;
  for (const auto& entry : live_) {
    if (entry.second.owner == owner) ++count;
  }
  return count;
}

void HandleTable::Clear() noexcept {
  for (auto& entry : live_) std::free(entry.second.data);
  live_.clear();
  resting_.clear();
  chunks_.clear();
  usedInLastChunk_ = kChunkSize;
}

void** HandleTable::TakeMasterPointer() noexcept {
  if (resting_.size() > kQuarantine) {
    void** pointer = resting_.front();
    resting_.pop_front();
    return pointer;
  }
  if (usedInLastChunk_ == kChunkSize) {
    std::unique_ptr<void*[]> chunk(new (std::nothrow) void*[kChunkSize]());
    if (!chunk) return nullptr;
    try {
      chunks_.push_back(std::move(chunk));
    } catch (...) {
      return nullptr;
    }
    usedInLastChunk_ = 0;
  }
  return &chunks_.back()[usedInLastChunk_++];
}

void HandleTable::ReturnMasterPointer(void** pointer) noexcept {
  // A caller that reads through a freed handle finds null, not freed memory.
  *pointer = nullptr;
  try {
    resting_.push_back(pointer);
  } catch (...) {
    // The slot is simply never reused.
  }
}

}  // namespace ztrt
