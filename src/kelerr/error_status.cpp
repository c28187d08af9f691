#include "kelerr/error_status.h"

#include <cstdlib>
#include <cstring>

namespace kelerr {

void InitialiseJsonBuffer(char* buffer, std::uint32_t capacity, const char* text,
                          std::size_t length) noexcept {
  std::memcpy(buffer, text, length);
  std::memset(buffer + length, 0, capacity - 1 - length);
  buffer[capacity - 1] = kJsonMarker;
}

bool ResizeJsonBuffer(ErrorStatus* record, std::uint32_t capacity) noexcept {
  if (capacity == 0) {
    std::free(record->json);
    record->json = nullptr;
    record->capacity = 0;
    return true;
  }
  if (capacity <= record->capacity) return true;
  if (capacity > kMaxJsonCapacity) return false;

  std::uint32_t size = kInitialJsonCapacity;
  while (size < capacity) size *= 2;
  char* buffer = static_cast<char*>(std::malloc(size));
  if (buffer == nullptr) return false;

  const char* text = record->json != nullptr ? record->json : "{}";
  InitialiseJsonBuffer(buffer, size, text, std::strlen(text));
  std::free(record->json);
  record->json = buffer;
  record->capacity = size;
  return true;
}

void ResetToEmptyObject(ErrorStatus& record) noexcept {
  if (record.json == nullptr || !record.resize(&record, 4)) return;
  if (record.json != nullptr && record.capacity >= 4)
    InitialiseJsonBuffer(record.json, record.capacity, "{}", 2);
}

}  // namespace kelerr
