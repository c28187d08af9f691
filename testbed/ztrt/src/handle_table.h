#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

namespace ztrt {

enum class Owner : std::uint8_t { Caller, Engine };

// Relocatable blocks reached through master pointers. The table never reads
// through a pointer it was given: a handle is live only if it is a key here,
// so foreign and freed handles are recognised without touching them. Freed
// master pointers rest in a queue before reuse, so a stale handle is not
// mistaken for a new one right away.
class HandleTable {
 public:
  struct Block {
    void* data;
    std::size_t size;
    Owner owner;
  };

  static constexpr std::size_t kMaxBlockSize = 0x7FFFFFFF;

  HandleTable() = default;
  HandleTable(const HandleTable&) = delete;
  HandleTable& operator=(const HandleTable&) = delete;
  ~HandleTable();

  // A zero-filled block, or null when the size is too large or memory is short.
  void** Allocate(std::size_t size, Owner owner) noexcept;
  // Keeps the leading bytes, zero-fills any growth; false leaves the block as it was.
  bool Resize(const void* handle, std::size_t size) noexcept;
  bool Release(const void* handle) noexcept;
  const Block* Find(const void* handle) const noexcept;
  std::size_t Count(Owner owner) const noexcept;
  void Clear() noexcept;

 private:
  static constexpr std::size_t kChunkSize = 256;
  static constexpr std::size_t kQuarantine = 1024;

  void** TakeMasterPointer() noexcept;
  void ReturnMasterPointer(void** pointer) noexcept;

  std::vector<std::unique_ptr<void*[]>> chunks_;
  std::size_t usedInLastChunk_ = kChunkSize;
  std::deque<void**> resting_;
  std::unordered_map<const void*, Block> live_;
};

}  // namespace ztrt
