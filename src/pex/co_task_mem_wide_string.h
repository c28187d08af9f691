#pragma once
// A NUL-terminated UTF-16 buffer in COM task memory that grows and shrinks
// with the text assigned to it.
#include <cstddef>

#include "platform/ole.h"

namespace kel {
namespace pex {

// The task-memory functions the buffer uses; replaceable so tests can watch
// and fail allocations.
struct TaskMemory {
  void* (*allocate)(std::size_t bytes) = platform::CoTaskMemAlloc;
  void* (*reallocate)(void* block, std::size_t bytes) = platform::CoTaskMemRealloc;
  void (*release)(void* block) = platform::CoTaskMemFree;
};

class CoTaskMemWideString {
 public:
  explicit CoTaskMemWideString(TaskMemory memory = TaskMemory());
  // Copies the text of text up to its first zero unit; null gives an empty text.
  explicit CoTaskMemWideString(BSTR text, TaskMemory memory = TaskMemory());
  CoTaskMemWideString(const CoTaskMemWideString&) = delete;
  CoTaskMemWideString& operator=(const CoTaskMemWideString&) = delete;
  ~CoTaskMemWideString();

  // A null text counts as empty.
  void Assign(const platform::WideChar* text);
  void Assign(const platform::WideChar* text, std::size_t count);

  // Takes over a NUL-terminated text allocated with CoTaskMemAlloc.
  void Attach(platform::WideChar* text);
  // The caller frees the result with CoTaskMemFree; the holder is left freed.
  platform::WideChar* Detach();
  void Free();

  // Null once freed or detached.
  const platform::WideChar* Data() const { return begin_; }
  std::size_t Size() const { return static_cast<std::size_t>(end_ - begin_); }

 private:
  void Reallocate(std::size_t units);

  TaskMemory memory_;
  platform::WideChar* begin_ = nullptr;
  platform::WideChar* end_ = nullptr;
  platform::WideChar* limit_ = nullptr;
};

}  // namespace pex
}  // namespace kel
