#pragma once
// The references the library takes on notification handlers, which belong to
// its clients, tallied for kelsim.
#include <cstdint>

#include "morrowkit/interfaces.h"

namespace kelmorrow {

void HoldHandler(morrowkit::IqvSysNotificationHandler* handler);
void DropHandler(morrowkit::IqvSysNotificationHandler* handler);
std::uint64_t HandlerReferences();

// For the threads the library starts (delivery, late releases): the handlers
// whose last reference goes on one of them are tallied.
void MarkLibraryThread();
std::uint64_t LastReleasesOnLibraryThreads();

}  // namespace kelmorrow
