#include <pthread.h>

#include <new>

#include "platform/lifetime.h"

namespace platform {
namespace {

struct ThreadStart {
  void (*entry)(void*);
  void* argument;
};

void* RunThread(void* parameter) {
  const ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  start.entry(start.argument);
  return nullptr;
}

}  // namespace

bool StartDetachedThread(void (*entry)(void*), void* argument) noexcept {
  auto* start = new (std::nothrow) ThreadStart{entry, argument};
  if (start == nullptr) return false;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    delete start;
    return false;
  }
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int failed = pthread_create(&thread, &attributes, &RunThread, start);
  pthread_attr_destroy(&attributes);
  if (failed != 0) {
    delete start;
    return false;
  }
  return true;
}

bool ProcessIsEnding() noexcept { return false; }

}  // namespace platform
