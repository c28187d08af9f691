#pragma once
// The resolved addresses of one host function, one slot per module and image
// version, shared by all threads without a lock.
#include <atomic>
#include <cstdint>

#include "hostbind/modules.h"

namespace hostbind {

// What one slot held at one moment, all fields from the same moment.
struct SlotState {
  std::uint64_t sequence;
  ModuleHandle module;
  std::uint64_t versionKey;
  void* address;
};

// Every change of a slot goes through its sequence word: the writer moves it
// by compare-and-exchange from the even value at which it read the slot to the
// next odd value, stores the fields, and makes it even again. A writer thus
// changes only the state it has seen, writers never overlap, and a reader that
// finds the same even value before and after reading the fields has read them
// together.
class BindingSlot {
 public:
  constexpr BindingSlot() = default;
  BindingSlot(const BindingSlot&) = delete;
  BindingSlot& operator=(const BindingSlot&) = delete;

  // False while another thread changes the slot.
  bool Read(SlotState& state) const {
    state.sequence = sequence_.load(std::memory_order_acquire);
    if (state.sequence & 1) return false;
    state.module = module_.load(std::memory_order_acquire);
    state.versionKey = versionKey_.load(std::memory_order_acquire);
    state.address = address_.load(std::memory_order_acquire);
    return sequence_.load(std::memory_order_acquire) == state.sequence;
  }

  // Replaces the slot's fields unless it has changed since `seen` was read.
  bool Replace(const SlotState& seen, ModuleHandle module, std::uint64_t versionKey, void* address);

 private:
  std::atomic<std::uint64_t> sequence_{0};
  std::atomic<ModuleHandle> module_{nullptr};
  std::atomic<std::uint64_t> versionKey_{0};
  std::atomic<void*> address_{nullptr};
};

constexpr int kSlotCount = 8;

struct BindingRecord {
  explicit constexpr BindingRecord(const char* exportName) : name(exportName) {}
  BindingRecord(const BindingRecord&) = delete;
  BindingRecord& operator=(const BindingRecord&) = delete;

  // The address of the slot that already holds the module and key, if the
  // search would reach it without changing a slot on the way; otherwise null.
  void* Known(ModuleHandle module, std::uint64_t key) const {
    for (const BindingSlot& slot : slots) {
      SlotState seen;
      if (!slot.Read(seen)) return nullptr;
      if (seen.module == module && seen.versionKey == key) return seen.address;
      if (seen.versionKey == key || seen.module == module || seen.module == nullptr) return nullptr;
    }
    return nullptr;
  }

  BindingSlot slots[kSlotCount];
  const char* name;
};

}  // namespace hostbind
