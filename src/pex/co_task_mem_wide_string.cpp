#include "pex/co_task_mem_wide_string.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>

#include "pex/exception.h"

namespace kel {
namespace pex {
namespace {

constexpr char kFile[] = "pex\\CoTaskMemWideString";

std::size_t ByteSize(std::size_t units) {
  constexpr std::size_t kMaxUnits =
      (static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) - 2) / 2;
  if (units > kMaxUnits) throw OutOfRange(kFile, __LINE__);
  return 2 * units + 2;
}

std::size_t LengthOf(const platform::WideChar* text) {
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

}  // namespace

CoTaskMemWideString::CoTaskMemWideString(TaskMemory memory) : memory_(memory) {
  const std::size_t bytes = ByteSize(0);
  begin_ = static_cast<platform::WideChar*>(memory_.allocate(bytes));
  if (begin_ == nullptr) throw BadAllocation();
  *begin_ = 0;
  end_ = begin_;
  limit_ = begin_;
}

// Delegating, so the destructor frees the buffer if the assignment throws.
CoTaskMemWideString::CoTaskMemWideString(BSTR text, TaskMemory memory)
    : CoTaskMemWideString(memory) {
  if (text != nullptr) Assign(text);
}

CoTaskMemWideString::~CoTaskMemWideString() { Free(); }

void CoTaskMemWideString::Assign(const platform::WideChar* text) {
  const std::size_t length = text == nullptr ? 0 : LengthOf(text);
  if (length > std::numeric_limits<std::uint32_t>::max()) throw OutOfRange(kFile, __LINE__);
  Assign(text, length);
}

void CoTaskMemWideString::Assign(const platform::WideChar* text, std::size_t count) {
  if (begin_ != nullptr && text == begin_) return;
  if (text == nullptr && count != 0) throw InvalidArgument(kFile, __LINE__);
  const std::less<const platform::WideChar*> before;
  const bool inside = begin_ != nullptr && text != nullptr && !before(text, begin_) && !before(limit_, text);
  if (inside) {
    // Part of our own text: it must stay where it is until it has been moved.
    if (count > static_cast<std::size_t>(limit_ - text)) throw OutOfRange(kFile, __LINE__);
    std::memmove(begin_, text, count * sizeof(platform::WideChar));
  } else {
    const std::size_t capacity = static_cast<std::size_t>(limit_ - begin_);
    if (begin_ == nullptr || capacity < count || 2 * count < capacity) Reallocate(count);
    if (count != 0) std::memcpy(begin_, text, count * sizeof(platform::WideChar));
  }
  begin_[count] = 0;
  end_ = begin_ + count;
}

void CoTaskMemWideString::Attach(platform::WideChar* text) {
  if (text == begin_) return;
  Free();
  if (text == nullptr) return;
  begin_ = text;
  end_ = text + LengthOf(text);
  limit_ = end_;
}

platform::WideChar* CoTaskMemWideString::Detach() {
  platform::WideChar* text = begin_;
  begin_ = end_ = limit_ = nullptr;
  return text;
}

void CoTaskMemWideString::Free() {
  if (begin_ != nullptr) memory_.release(begin_);
  begin_ = end_ = limit_ = nullptr;
}

void CoTaskMemWideString::Reallocate(std::size_t units) {
  const std::size_t bytes = ByteSize(units);
  void* block = memory_.reallocate(begin_, bytes);
  if (block == nullptr) throw BadAllocation();
  begin_ = static_cast<platform::WideChar*>(block);
  end_ = begin_;
  limit_ = begin_ + units;
}

}  // namespace pex
}  // namespace kel
