#include <pthread.h>

#include <new>

#include "platform/module_reference.h"

namespace platform {
namespace {

struct ThreadStart {
  void (*entry)(void*);
  void* argument;
};

void* RunModuleThread(void* parameter) {
  ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  ModuleHeld held;
  start.entry(start.argument);
  return nullptr;
}

}  // namespace

// A shared object cannot give back its last reference on the way out of a
// thread, so nothing is counted here.
ModuleReference ModuleReference::Take() noexcept { return ModuleReference(); }

void ModuleReference::Reset() noexcept { module_ = nullptr; }

void ModuleReference::ReleaseFromForeignThread() noexcept { Reset(); }

bool StartModuleThread(void (*entry)(void*), void* argument) noexcept {
  auto* start = new (std::nothrow) ThreadStart{entry, argument};
  if (start == nullptr) return false;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    delete start;
    return false;
  }
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const int failed = pthread_create(&thread, &attributes, &RunModuleThread, start);
  pthread_attr_destroy(&attributes);
  if (failed != 0) {
    delete start;
    return false;
  }
  return true;
}

bool ProcessIsEnding() noexcept { return false; }

}  // namespace platform
