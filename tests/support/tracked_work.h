#pragma once
// A submitter for platform::ReplaceWorkSubmitter that passes the module's
// work on to the pool, counting it, and knows when all of it has ended; or
// refuses it. For tests and benchmarks that wait for the work a call left
// behind rather than for time.
#include <cstdint>

#include "platform/work_pool.h"

namespace test_support {

class TrackedWork {
 public:
  static bool Submit(platform::WorkEntry entry, void* argument) noexcept;
  static void Refuse(bool refusing) noexcept;
  static bool Idle() noexcept;
  // Submissions the pool took.
  static std::uint64_t Submitted() noexcept;
};

// While one lives, the module's work goes through TrackedWork.
class TrackingWork {
 public:
  TrackingWork() noexcept : previous_(platform::ReplaceWorkSubmitter(&TrackedWork::Submit)) {}
  ~TrackingWork() { platform::ReplaceWorkSubmitter(previous_); }
  TrackingWork(const TrackingWork&) = delete;
  TrackingWork& operator=(const TrackingWork&) = delete;

 private:
  platform::WorkSubmitter previous_;
};

}  // namespace test_support
