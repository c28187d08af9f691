#include "hostbind/binding_record.h"

namespace hostbind {

bool BindingSlot::Replace(const SlotState& seen, ModuleHandle module, std::uint64_t versionKey,
                          void* address) {
  if (seen.sequence & 1) return false;
  std::uint64_t expected = seen.sequence;
  if (!sequence_.compare_exchange_strong(expected, seen.sequence + 1, std::memory_order_acq_rel,
                                         std::memory_order_acquire)) {
    return false;
  }
  address_.store(address, std::memory_order_release);
  module_.store(module, std::memory_order_release);
  versionKey_.store(versionKey, std::memory_order_release);
  sequence_.store(seen.sequence + 2, std::memory_order_release);
  return true;
}

}  // namespace hostbind
