#include "cache_fixture.h"

#include <chrono>
#include <thread>

#include <boost/make_shared.hpp>

#include "kelsim.h"
#include "library_profiles.h"
#include "platform/work_pool.h"

namespace kronel_test {
namespace {

constexpr auto kPatience = std::chrono::seconds(20);

template <class Condition>
bool WaitFor(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

void CacheTest::SetUp() {
  kelsimReset();
  road::ApplyProfile(road::ProfileOfThisRun());
  ASSERT_EQ(kelsimLiveObjects(), 0u);
}

void CacheTest::TearDown() {
  EXPECT_TRUE(WaitForNoLiveObjects()) << kelsimLiveObjects() << " library objects outlived the test";
  EXPECT_EQ(kelsimOutstandingReferences(), 0u);
  EXPECT_EQ(kelsimWaitIdle(20000), 1);
  EXPECT_EQ(kelsimRegistrations(), 0u) << "registrations outlived the test";
  EXPECT_EQ(kelsimHandlerReferences(), 0u) << "the library still holds the notifier";
  kelsimReset();
}

void CacheTest::Load(const std::string& description) {
  char error[512] = "";
  ASSERT_EQ(kelsimLoadText(description.c_str(), "test.json", error, sizeof error), 0) << error;
}

void CacheTest::ApplyChange(const std::string& target, const std::string& change) {
  char error[512] = "";
  ASSERT_EQ(kelsimApplyChange(target.c_str(), change.c_str(), "change.json", error, sizeof error), 0) << error;
}

void CacheTest::FailCall(const char* operation, std::uint32_t nth, std::int32_t result) {
  char error[256] = "";
  ASSERT_EQ(kelsimSetFailure(operation, nth, result, error, sizeof error), 0) << error;
}

void CacheTest::SetLatency(const char* operation, std::uint32_t milliseconds) {
  char error[256] = "";
  ASSERT_EQ(kelsimSetLatency(operation, milliseconds, error, sizeof error), 0) << error;
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
