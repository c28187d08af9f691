// A refresh whose worker cannot start: the pool has no thread yet and cannot
// make one, as the process's address space is narrowed until no thread stack
// fits. In a child process of its own, so that neither a pool thread nor a
// thread stack from an earlier test is kept for reuse.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

#include <boost/thread/exceptions.hpp>

#include "cache_fixture.h"

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define KRONEL_CAN_LIMIT_ADDRESS_SPACE 1
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace kronel_test {
namespace {

#ifdef KRONEL_CAN_LIMIT_ADDRESS_SPACE
const char kOneDevice[] = R"([{"status": 1, "modelCode": "0x7066", "resourceName": "Dev1"}])";

std::size_t AddressSpaceInUse() {
  std::ifstream status("/proc/self/status");
  std::string field;
  std::size_t kilobytes = 0;
  while (status >> field) {
    if (field == "VmSize:" && status >> kilobytes) break;
  }
  return kilobytes * 1024;
}

[[noreturn]] void Fail(const char* why) {
  std::fprintf(stderr, "%s\n", why);
  std::fflush(stderr);
  _exit(1);
}
#endif

TEST_F(CacheTest, WorkerThatCannotStartLeavesTheCacheAbleToRefresh) {
#ifndef KRONEL_CAN_LIMIT_ADDRESS_SPACE
  GTEST_SKIP() << "needs an address-space limit that the sanitizers and Windows do not allow";
#else
  if (AddressSpaceInUse() == 0) GTEST_SKIP() << "no VmSize in /proc/self/status";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  Load(LocalTarget(kOneDevice));
  EXPECT_EXIT(
      {
        auto cache = MakeCache();
        rlimit wide{};
        if (getrlimit(RLIMIT_AS, &wide) != 0) Fail("no address-space limit to read");
        rlimit narrow = wide;
        // Room for the small allocations on the way, none for a thread stack.
        narrow.rlim_cur = AddressSpaceInUse() + (1u << 20);
        if (setrlimit(RLIMIT_AS, &narrow) != 0) Fail("the address space could not be narrowed");
        bool refused = false;
        try {
          cache->RequestRefresh();
        } catch (const boost::thread_resource_error&) {
          refused = true;
        } catch (const std::exception& other) {
          Fail(other.what());
        }
        setrlimit(RLIMIT_AS, &wide);
        if (!refused) Fail("the worker started");
        if (cache->IsRefreshing()) Fail("the cache still counts itself as refreshing");
        RefreshAndWait(*cache);
        if (cache->CopyNames() != std::vector<std::string>{"Dev1"}) Fail("the next refresh did not run");
        std::fflush(stderr);
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "");
#endif
}

}  // namespace
}  // namespace kronel_test
