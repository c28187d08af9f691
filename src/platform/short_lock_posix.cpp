#include "platform/short_lock.h"

namespace platform {

// A default mutex fails only on misuse, which these classes do not allow.
ShortLock::~ShortLock() { pthread_mutex_destroy(&state_); }
void ShortLock::lock() noexcept { pthread_mutex_lock(&state_); }
void ShortLock::unlock() noexcept { pthread_mutex_unlock(&state_); }

ShortCondition::~ShortCondition() { pthread_cond_destroy(&state_); }
void ShortCondition::WaitOnce(ShortLock& held) noexcept { pthread_cond_wait(&state_, &held.state_); }
void ShortCondition::NotifyAll() noexcept { pthread_cond_broadcast(&state_); }

}  // namespace platform
