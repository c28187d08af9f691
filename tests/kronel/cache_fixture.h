#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "fake_clock.h"
#include "kronel/morrow_cache.h"
#include "sim_library.h"
#include "wait_for.h"

namespace kronel {

// Reaches the state machine that the host only sees through results.
class MorrowCacheTestAccess {
 public:
  static bool UpToDateFlag(const MorrowCache& cache) { return cache.upToDate.load() != 0; }
  static void SetVersion(MorrowCache& cache, std::uint32_t version) { cache.version.store(version); }
  static bool HasFramework(const MorrowCache& cache) { return static_cast<bool>(cache.framework); }
  static std::int64_t ReadDueMs(const MorrowCache& cache) { return cache.readDueMs.load(); }
};

}  // namespace kronel

namespace kronel_test {

using Cache = kronel::MorrowCache;
using Access = kronel::MorrowCacheTestAccess;
using test_support::WaitFor;
using test_support::kelsim::ApplyChange;
using test_support::kelsim::FailCall;
using test_support::kelsim::Load;
using test_support::kelsim::SetLatency;

// Each test starts from an empty simulated library and ends only when every
// object the library made is gone again.
class CacheTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  boost::shared_ptr<Cache> MakeCache(const std::string& target = "");
  // Moves the clock on, then asks as a host that found the cache current
  // does; waits for whatever that started. True when it started a refresh.
  bool AskAfter(Cache& cache, std::int64_t milliseconds);
  // Requests a refresh and waits until the worker has ended.
  void RefreshAndWait(Cache& cache);
  static void WaitUntilIdle(Cache& cache);
  // Waits until the library holds no object (or `count`); false on timeout.
  static bool WaitForNoLiveObjects();
  static bool WaitUntilLiveObjects(std::uint64_t count);

  FakeClock clock;
};

// A description with one target "" holding the given records (JSON array text).
std::string LocalTarget(const std::string& records);

}  // namespace kronel_test
