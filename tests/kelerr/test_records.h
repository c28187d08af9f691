#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "kelerr/error_status.h"

namespace kelerr::test {

// Text, terminator, zeros up to N-2, marker at N-1.
inline ::testing::AssertionResult HasSoundLayout(const ErrorStatus& record) {
  if (record.json == nullptr || record.capacity < 4) return ::testing::AssertionFailure() << "no buffer";
  const std::size_t length = std::strlen(record.json);
  if (length + 2 > record.capacity) return ::testing::AssertionFailure() << "text too long";
  for (std::size_t i = length; i + 1 < record.capacity; ++i)
    if (record.json[i] != '\0') return ::testing::AssertionFailure() << "byte " << i << " set";
  if (record.json[record.capacity - 1] != kJsonMarker)
    return ::testing::AssertionFailure() << "marker missing";
  return ::testing::AssertionSuccess();
}

inline bool FailingResize(ErrorStatus* record, std::uint32_t capacity) {
  return capacity == 0 && ResizeJsonBuffer(record, 0);
}

inline bool ResizeUpTo512(ErrorStatus* record, std::uint32_t capacity) {
  return capacity <= 512 && ResizeJsonBuffer(record, capacity);
}

// Owns a record the way exceptions do.
struct OwnedRecord : ErrorStatus {
  ~OwnedRecord() { Clear(); }
};

}  // namespace kelerr::test
