#include <pthread.h>

#include <cstdint>

#include "platform/thread_depth.h"

namespace platform {
namespace {

pthread_key_t Key(unsigned long slot) { return static_cast<pthread_key_t>(slot); }

}  // namespace

ThreadDepth::ThreadDepth() noexcept : slot_(0), valid_(false) {
  pthread_key_t key;
  if (pthread_key_create(&key, nullptr) == 0) {
    slot_ = static_cast<unsigned long>(key);
    valid_ = true;
  }
}

ThreadDepth::~ThreadDepth() {
  if (valid_) pthread_key_delete(Key(slot_));
}

std::intptr_t ThreadDepth::Depth() const noexcept {
  return reinterpret_cast<std::intptr_t>(pthread_getspecific(Key(slot_)));
}

void ThreadDepth::SetDepth(std::intptr_t depth) noexcept {
  pthread_setspecific(Key(slot_), reinterpret_cast<void*>(depth));
}

}  // namespace platform
