#include <windows.h>

#include "platform/short_lock.h"

namespace platform {
namespace {

static_assert(sizeof(SRWLOCK) == sizeof(void*), "an SRWLOCK is one pointer, zero when free");
static_assert(sizeof(CONDITION_VARIABLE) == sizeof(void*), "a CONDITION_VARIABLE is one pointer, zero when new");

PSRWLOCK Srw(void*& state) { return reinterpret_cast<PSRWLOCK>(&state); }

}  // namespace

ShortLock::~ShortLock() = default;
void ShortLock::lock() noexcept { ::AcquireSRWLockExclusive(Srw(state_)); }
void ShortLock::unlock() noexcept { ::ReleaseSRWLockExclusive(Srw(state_)); }

ShortCondition::~ShortCondition() = default;

void ShortCondition::WaitOnce(ShortLock& held) noexcept {
  ::SleepConditionVariableSRW(reinterpret_cast<PCONDITION_VARIABLE>(&state_), Srw(held.state_), INFINITE, 0);
}

void ShortCondition::NotifyAll() noexcept {
  ::WakeAllConditionVariable(reinterpret_cast<PCONDITION_VARIABLE>(&state_));
}

}  // namespace platform
