#include "platform/module_reference.h"

#include <utility>

namespace platform {
namespace {

thread_local int t_held = 0;

}  // namespace

ModuleReference& ModuleReference::operator=(ModuleReference&& other) noexcept {
  if (this != &other) {
    Reset();
    module_ = other.Detach();
  }
  return *this;
}

void* ModuleReference::Detach() noexcept { return std::exchange(module_, nullptr); }

ModuleHeld::ModuleHeld() noexcept { ++t_held; }

ModuleHeld::~ModuleHeld() { --t_held; }

bool ModuleHeld::OnThisThread() noexcept { return t_held > 0; }

}  // namespace platform
