#include "tracked_work.h"

#include <atomic>
#include <memory>
#include <new>

namespace test_support {
namespace {

struct Item {
  platform::WorkEntry entry;
  void* argument;
};

std::atomic<int> inFlight{0};
std::atomic<std::uint64_t> submitted{0};
std::atomic<bool> refusing{false};

void Run(void* argument) noexcept {
  std::unique_ptr<Item> item(static_cast<Item*>(argument));
  item->entry(item->argument);
  inFlight.fetch_sub(1);
}

}  // namespace

bool TrackedWork::Submit(platform::WorkEntry entry, void* argument) noexcept {
  if (refusing.load()) return false;
  auto* item = new (std::nothrow) Item{entry, argument};
  if (item == nullptr) return false;
  inFlight.fetch_add(1);
  if (!platform::SubmitToPool(&Run, item)) {
    inFlight.fetch_sub(1);
    delete item;
    return false;
  }
  submitted.fetch_add(1);
  return true;
}

void TrackedWork::Refuse(bool refuse) noexcept { refusing.store(refuse); }

bool TrackedWork::Idle() noexcept { return inFlight.load() == 0; }

std::uint64_t TrackedWork::Submitted() noexcept { return submitted.load(); }

}  // namespace test_support
