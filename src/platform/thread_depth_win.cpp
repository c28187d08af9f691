#include <windows.h>

#include <cstdint>

#include "platform/thread_depth.h"

namespace platform {

ThreadDepth::ThreadDepth() noexcept : slot_(::TlsAlloc()), valid_(slot_ != TLS_OUT_OF_INDEXES) {}

ThreadDepth::~ThreadDepth() {
  if (valid_) ::TlsFree(slot_);
}

void ThreadDepth::Enter() noexcept {
  if (!valid_) return;
  const auto depth = reinterpret_cast<std::intptr_t>(::TlsGetValue(slot_));
  ::TlsSetValue(slot_, reinterpret_cast<void*>(depth + 1));
}

void ThreadDepth::Leave() noexcept {
  if (!valid_) return;
  const auto depth = reinterpret_cast<std::intptr_t>(::TlsGetValue(slot_));
  ::TlsSetValue(slot_, reinterpret_cast<void*>(depth - 1));
}

bool ThreadDepth::Inside() const noexcept {
  return valid_ && reinterpret_cast<std::intptr_t>(::TlsGetValue(slot_)) > 0;
}

}  // namespace platform
