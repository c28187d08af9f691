#include <windows.h>

#include <cstdint>

#include "platform/thread_depth.h"

namespace platform {

ThreadDepth::ThreadDepth() noexcept : slot_(::TlsAlloc()), valid_(slot_ != TLS_OUT_OF_INDEXES) {}

ThreadDepth::~ThreadDepth() {
  if (valid_) ::TlsFree(slot_);
}

std::intptr_t ThreadDepth::Depth() const noexcept {
  return reinterpret_cast<std::intptr_t>(::TlsGetValue(slot_));
}

void ThreadDepth::SetDepth(std::intptr_t depth) noexcept {
  ::TlsSetValue(slot_, reinterpret_cast<void*>(depth));
}

}  // namespace platform
