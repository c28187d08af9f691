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

void ThreadDepth::Enter() noexcept {
  if (!valid_) return;
  const auto depth = reinterpret_cast<std::intptr_t>(pthread_getspecific(Key(slot_)));
  pthread_setspecific(Key(slot_), reinterpret_cast<void*>(depth + 1));
}

void ThreadDepth::Leave() noexcept {
  if (!valid_) return;
  const auto depth = reinterpret_cast<std::intptr_t>(pthread_getspecific(Key(slot_)));
  pthread_setspecific(Key(slot_), reinterpret_cast<void*>(depth - 1));
}

bool ThreadDepth::Inside() const noexcept {
  return valid_ && reinterpret_cast<std::intptr_t>(pthread_getspecific(Key(slot_))) > 0;
}

}  // namespace platform
