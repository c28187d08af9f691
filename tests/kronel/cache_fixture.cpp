#include "cache_fixture.h"

#include <boost/make_shared.hpp>

#include "kelsim.h"
#include "library_profiles.h"
#include "platform/work_pool.h"

namespace kronel_test {

void CacheTest::SetUp() {
  kelsimReset();
  road::ApplyProfile(road::ProfileOfThisRun());
  ASSERT_EQ(kelsimLiveObjects(), 0u);
}

void CacheTest::TearDown() {
  test_support::kelsim::ExpectQuiet();
  kelsimReset();
}

boost::shared_ptr<Cache> CacheTest::MakeCache(const std::string& target) {
  return boost::make_shared<Cache>(target);
}

void CacheTest::RefreshAndWait(Cache& cache) {
  cache.RequestRefresh();
  WaitUntilIdle(cache);
}

bool CacheTest::AskAfter(Cache& cache, std::int64_t milliseconds) {
  clock.Advance(milliseconds);
  const std::uint64_t attempts = platform::CountWork().submitted;
  cache.RefreshIfDue();
  WaitUntilIdle(cache);
  return platform::CountWork().submitted != attempts;
}

void CacheTest::WaitUntilIdle(Cache& cache) {
  ASSERT_TRUE(WaitFor([&] { return !cache.IsRefreshing(); })) << "refresh never ended";
}

bool CacheTest::WaitForNoLiveObjects() { return WaitUntilLiveObjects(0); }

bool CacheTest::WaitUntilLiveObjects(std::uint64_t count) {
  return WaitFor([count] { return kelsimLiveObjects() == count; });
}

std::string LocalTarget(const std::string& records) {
  return R"({"targets": {"": {"records": )" + records + "}}}";
}

}  // namespace kronel_test
