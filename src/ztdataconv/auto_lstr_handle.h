#pragma once
#include "hostbind/host_types.h"

namespace ztdataconv {

// Owns at most one host string handle and releases it with DSDisposeHandle.
// Functions that fill a handle are given the address of the field, and what
// they store there is owned from then on.
class AutoLStrHandle {
 public:
  AutoLStrHandle() noexcept = default;
  AutoLStrHandle(const AutoLStrHandle&) = delete;
  AutoLStrHandle& operator=(const AutoLStrHandle&) = delete;
  virtual ~AutoLStrHandle();

  hostbind::LStrHandle Get() const noexcept { return handle_; }
  // The field itself; take its address for a function that fills it.
  hostbind::LStrHandle& Slot() noexcept { return handle_; }
  // Gives up ownership; the holder is empty afterwards.
  hostbind::LStrHandle Detach() noexcept;

 private:
  hostbind::LStrHandle handle_ = nullptr;
};

}  // namespace ztdataconv
