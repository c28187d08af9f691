#include <windows.h>

#include <new>

#include "platform/work_pool.h"

namespace platform {
namespace {

struct Item {
  WorkEntry entry;
  void* argument;
};

void CALLBACK RunItem(PTP_CALLBACK_INSTANCE, void* context) {
  const Item item = *static_cast<Item*>(context);
  delete static_cast<Item*>(context);
  item.entry(item.argument);
}

}  // namespace

bool SubmitToPool(WorkEntry entry, void* argument) noexcept {
  auto* item = new (std::nothrow) Item{entry, argument};
  if (item == nullptr) return false;
  // The environment is read at submission; the pool keeps nothing of it.
  TP_CALLBACK_ENVIRON environment;
  ::InitializeThreadpoolEnvironment(&environment);
  ::SetThreadpoolCallbackRunsLong(&environment);
  const BOOL queued = ::TrySubmitThreadpoolCallback(&RunItem, item, &environment);
  ::DestroyThreadpoolEnvironment(&environment);
  if (!queued) delete item;
  return queued != FALSE;
}

namespace detail {
PoolThreads CountPoolThreads() noexcept { return PoolThreads{0, 0, 0}; }
}  // namespace detail

}  // namespace platform
