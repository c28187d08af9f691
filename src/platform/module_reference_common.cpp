#include "platform/module_reference.h"

#include <utility>

#include "platform/thread_depth.h"

namespace platform {
namespace {

ThreadDepth& Held() {
  static ThreadDepth held;
  return held;
}

}  // namespace

ModuleReference& ModuleReference::operator=(ModuleReference&& other) noexcept {
  if (this != &other) {
    Reset();
    module_ = other.Detach();
  }
  return *this;
}

void* ModuleReference::Detach() noexcept { return std::exchange(module_, nullptr); }

ModuleHeld::ModuleHeld() noexcept { Held().Enter(); }

ModuleHeld::~ModuleHeld() { Held().Leave(); }

bool ModuleHeld::OnThisThread() noexcept { return Held().Inside(); }

}  // namespace platform
