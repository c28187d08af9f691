#include "kelerr/merge_status.h"

#include <cstring>

namespace kelerr {

bool MergeStatus(ErrorStatus& target, ErrorStatus& source) noexcept {
  const bool takes_over = (target.code == 0 && source.code != 0) || (target.code > 0 && source.code < 0);
  if (!takes_over) return false;

  target.code = source.code;
  ResetToEmptyObject(target);
  if (target.resize == source.resize) {
    target.resize(&target, 0);
    target.json = source.json;
    target.capacity = source.capacity;
    source.json = nullptr;
    source.capacity = 0;
    return true;
  }

  const char* text = source.json != nullptr ? source.json : "{}";
  const std::size_t length = std::strlen(text);
  if (length <= kMaxJsonCapacity - 2 && target.resize(&target, static_cast<std::uint32_t>(length + 2)) &&
      target.json != nullptr && target.capacity >= length + 2) {
    InitialiseJsonBuffer(target.json, target.capacity, text, length);
  }
  return true;
}

}  // namespace kelerr
