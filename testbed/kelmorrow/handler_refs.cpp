#include "handler_refs.h"

#include <atomic>

namespace kelmorrow {
namespace {

std::atomic<std::uint64_t> g_handlerReferences{0};
std::atomic<std::uint64_t> g_lastReleasesOnLibraryThreads{0};
thread_local bool t_libraryThread = false;

}  // namespace

// Counted before the reference is taken and after it is gone, so that the
// tally never shows fewer than the handler has.
void HoldHandler(morrowkit::IqvSysNotificationHandler* handler) {
  g_handlerReferences.fetch_add(1);
  handler->AddRef();
}

void DropHandler(morrowkit::IqvSysNotificationHandler* handler) {
  if (handler->Release() == 0 && t_libraryThread) g_lastReleasesOnLibraryThreads.fetch_add(1);
  g_handlerReferences.fetch_sub(1);
}

std::uint64_t HandlerReferences() { return g_handlerReferences.load(); }

void MarkLibraryThread() { t_libraryThread = true; }

std::uint64_t LastReleasesOnLibraryThreads() { return g_lastReleasesOnLibraryThreads.load(); }

}  // namespace kelmorrow
