#include "ref_count.h"

namespace kelmorrow {
namespace {

std::atomic<std::uint64_t> g_liveObjects{0};
std::atomic<std::uint64_t> g_references{0};

}  // namespace

RefCount::RefCount() {
  g_liveObjects.fetch_add(1);
  g_references.fetch_add(1);
}

RefCount::~RefCount() {
  g_references.fetch_sub(count_.load());
  g_liveObjects.fetch_sub(1);
}

std::uint32_t RefCount::Add() {
  g_references.fetch_add(1);
  return count_.fetch_add(1) + 1;
}

bool RefCount::TryAdd() {
  std::uint32_t count = count_.load();
  do {
    if (count == 0) return false;
  } while (!count_.compare_exchange_weak(count, count + 1));
  g_references.fetch_add(1);
  return true;
}

std::uint32_t RefCount::Drop() {
  g_references.fetch_sub(1);
  return count_.fetch_sub(1) - 1;
}

std::uint64_t RefCount::LiveObjects() { return g_liveObjects.load(); }

std::uint64_t RefCount::OutstandingReferences() { return g_references.load(); }

}  // namespace kelmorrow
