#pragma once
// Changes waiting for the next call of an operation, to be applied inside it.
#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "description_loader.h"

namespace kelmorrow {

struct ScheduledChange {
  std::string operation;
  std::string target;
  Change change;
  std::string source;
};

class ScheduledChanges {
 public:
  void Add(ScheduledChange scheduled);
  // Those for the operation, in the order they were added; one atomic load
  // when nothing is scheduled, since every call of the library asks.
  std::vector<ScheduledChange> TakeFor(std::string_view operation);
  void Clear();

 private:
  std::mutex mutex_;
  std::atomic<std::size_t> count_{0};
  std::vector<ScheduledChange> list_;
};

}  // namespace kelmorrow
