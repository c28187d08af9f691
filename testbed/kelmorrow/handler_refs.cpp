#include "handler_refs.h"

#include <atomic>

namespace kelmorrow {
namespace {

std::atomic<std::uint64_t> g_handlerReferences{0};

}  // namespace

// Counted before the reference is taken and after it is gone, so that the
// tally never shows fewer than the handler has.
void HoldHandler(morrowkit::IqvSysNotificationHandler* handler) {
  g_handlerReferences.fetch_add(1);
  handler->AddRef();
}

void DropHandler(morrowkit::IqvSysNotificationHandler* handler) {
  handler->Release();
  g_handlerReferences.fetch_sub(1);
}

std::uint64_t HandlerReferences() { return g_handlerReferences.load(); }

}  // namespace kelmorrow
