#pragma once
// The host's last ReleasingAppRef, dropping many caches at once: one target
// per cache, one reference per target, each cache refreshed once so that its
// target's route holds a registration with the library. What the caches
// leave to do in the library goes to the pool; the call pays for the caches.
#include <cstddef>
#include <cstdint>
#include <string>

#include "support.h"

namespace kronel_bench {

struct LastReleaseFigures {
  double microseconds = -1;         // the last ReleasingAppRef
  std::uint64_t registrations = 0;  // the library's, just before it
  double settledMs = -1;            // until the library held no registration and no object
  Span call;
  std::uint64_t counted = 0;  // what `count` grew by across the call
  std::string error;          // set when the round could not be made
};

LastReleaseFigures MeasureLastRelease(std::size_t caches, std::uint64_t (*count)() = nullptr);

}  // namespace kronel_bench
