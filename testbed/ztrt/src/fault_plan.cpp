#include "fault_plan.h"

namespace ztrt {

void FaultPlan::Arm(Function function, std::uint32_t nth, std::int32_t status) noexcept {
  Entry& entry = entries_[Index(function)];
  entry.armed = true;
  entry.remaining = nth;
  entry.status = status;
}

void FaultPlan::Disarm() noexcept {
  for (Entry& entry : entries_) entry.armed = false;
}

bool FaultPlan::Call(Function function, std::int32_t& status) noexcept {
  Entry& entry = entries_[Index(function)];
  ++entry.calls;
  if (!entry.armed) return false;
  if (entry.remaining != 0) {
    if (--entry.remaining != 0) return false;
    entry.armed = false;
  }
  status = entry.status;
  return true;
}

}  // namespace ztrt
