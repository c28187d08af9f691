#pragma once
// The reference count of one library object. It also keeps the library-wide
// tally of live objects and outstanding references that kelsim reports.
#include <atomic>
#include <cstdint>

namespace kelmorrow {

class RefCount {
 public:
  // Starts with the one reference its creator owns.
  RefCount();
  ~RefCount();
  RefCount(const RefCount&) = delete;
  RefCount& operator=(const RefCount&) = delete;

  std::uint32_t Add();
  // Adds only while the count is not 0, for an object that may be on its way out.
  bool TryAdd();
  // The count left; the owner deletes itself at 0.
  std::uint32_t Drop();

  static std::uint64_t LiveObjects();
  static std::uint64_t OutstandingReferences();

 private:
  std::atomic<std::uint32_t> count_{1};
};

}  // namespace kelmorrow
