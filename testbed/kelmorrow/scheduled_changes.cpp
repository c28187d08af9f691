#include "scheduled_changes.h"

#include <algorithm>
#include <utility>

namespace kelmorrow {

void ScheduledChanges::Add(ScheduledChange scheduled) {
  std::lock_guard<std::mutex> lock(mutex_);
  list_.push_back(std::move(scheduled));
  count_.store(list_.size());
}

std::vector<ScheduledChange> ScheduledChanges::TakeFor(std::string_view operation) {
  std::vector<ScheduledChange> taken;
  if (count_.load(std::memory_order_relaxed) == 0) return taken;
  std::lock_guard<std::mutex> lock(mutex_);
  auto due = std::stable_partition(list_.begin(), list_.end(),
                                   [&](const ScheduledChange& s) { return s.operation != operation; });
  taken.assign(std::make_move_iterator(due), std::make_move_iterator(list_.end()));
  list_.erase(due, list_.end());
  count_.store(list_.size());
  return taken;
}

void ScheduledChanges::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  list_.clear();
  count_.store(0);
}

}  // namespace kelmorrow
