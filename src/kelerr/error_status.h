#pragma once
#include <cstddef>
#include <cstdint>

namespace kelerr {

struct ErrorStatus;

// Grows the record's buffer to at least the requested capacity; 0 releases it.
using ResizeFunction = bool (*)(ErrorStatus* record, std::uint32_t capacity);

bool ResizeJsonBuffer(ErrorStatus* record, std::uint32_t capacity) noexcept;

// An error code with a compact JSON object in a buffer of its own. The owner
// clears it in its destructor; copying is left to the owner (see MergeStatus).
struct ErrorStatus {
  std::int32_t code = 0;
  std::uint32_t capacity = 0;
  ResizeFunction resize = ResizeJsonBuffer;
  char* json = nullptr;

  ErrorStatus() = default;
  ErrorStatus(const ErrorStatus&) = delete;
  ErrorStatus& operator=(const ErrorStatus&) = delete;

  void Clear() noexcept {
    code = 0;
    resize(this, 0);
  }
};

constexpr char kJsonMarker = 'J';
constexpr std::uint32_t kInitialJsonCapacity = 512;
constexpr std::uint32_t kMaxJsonCapacity = 0x7FFFFFFF;

// Copies the text with its terminator, zeroes the rest and writes the marker
// into the last byte. The text must be at most capacity - 2 bytes long.
void InitialiseJsonBuffer(char* buffer, std::uint32_t capacity, const char* text,
                          std::size_t length) noexcept;

// Turns an existing buffer back into "{}"; a record without buffer stays so.
void ResetToEmptyObject(ErrorStatus& record) noexcept;

}  // namespace kelerr
