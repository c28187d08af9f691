#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/work_pool.h"
#ifndef _WIN32
#include "platform/posix_thread_pool.h"
#include "wait_for.h"
#endif

namespace {

using namespace std::chrono_literals;

// Work that reports where it ran and may be held until the test lets it go.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  int entered = 0;
  int finished = 0;
  bool open = true;
  std::vector<std::thread::id> threads;

  static void Pass(void* gate) noexcept {
    auto& self = *static_cast<Gate*>(gate);
    std::unique_lock<std::mutex> lock(self.mutex);
    ++self.entered;
    self.threads.push_back(std::this_thread::get_id());
    self.changed.notify_all();
    self.changed.wait(lock, [&] { return self.open; });
    ++self.finished;
    self.changed.notify_all();
  }

  // True when it came within a generous deadline; never a measure of speed.
  template <class Predicate>
  bool Await(Predicate done) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, 30s, done);
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
    changed.notify_all();
  }
};

TEST(WorkPool, RunsEachSubmissionOnceOffTheSubmittingThread) {
  Gate gate;
  const std::uint64_t before = platform::CountWork().submitted;
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(platform::SubmitWork(&Gate::Pass, &gate));
  ASSERT_TRUE(gate.Await([&] { return gate.finished == 8; }));
  EXPECT_EQ(platform::CountWork().submitted - before, 8u);
  for (const std::thread::id& thread : gate.threads) EXPECT_NE(thread, std::this_thread::get_id());
}

// Work that blocks for long never holds back work submitted after it.
TEST(WorkPool, LongWorkDoesNotDelayLaterWork) {
  Gate gate;
  gate.open = false;
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(platform::SubmitWork(&Gate::Pass, &gate));
  EXPECT_TRUE(gate.Await([&] { return gate.entered == 6; }));
  gate.Open();
  ASSERT_TRUE(gate.Await([&] { return gate.finished == 6; }));
}

bool Refuse(platform::WorkEntry, void*) noexcept { return false; }

// The seam counts and redirects every submission; null gives the pool back.
TEST(WorkPool, AReplacedSubmitterSeesEverySubmission) {
  const platform::WorkSubmitter previous = platform::ReplaceWorkSubmitter(&Refuse);
  Gate gate;
  EXPECT_FALSE(platform::SubmitWork(&Gate::Pass, &gate));
  EXPECT_EQ(platform::ReplaceWorkSubmitter(previous), &Refuse);
  EXPECT_TRUE(platform::SubmitWork(&Gate::Pass, &gate));
  ASSERT_TRUE(gate.Await([&] { return gate.finished == 1; }));
  EXPECT_EQ(gate.entered, 1);
}

#ifndef _WIN32
// The Linux pool: threads are the pool's own, started on a submitter only
// when it has none, and gone once idle for the retirement period.
TEST(PosixThreadPool, OnlyAPoolWithoutThreadsStartsOneOnTheSubmitter) {
  platform::PosixThreadPool pool(1h);
  Gate gate;
  ASSERT_TRUE(pool.Submit(&Gate::Pass, &gate));
  ASSERT_TRUE(gate.Await([&] { return gate.finished == 1; }));
  EXPECT_EQ(pool.CountThreads().startedBySubmitters, 1u);

  // Held work: each thread that takes some while none is idle starts a spare.
  gate.open = false;
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(pool.Submit(&Gate::Pass, &gate));
  ASSERT_TRUE(gate.Await([&] { return gate.entered == 6; }));
  gate.Open();
  ASSERT_TRUE(gate.Await([&] { return gate.finished == 6; }));
  const platform::detail::PoolThreads threads = pool.CountThreads();
  EXPECT_EQ(threads.startedBySubmitters, 1u);
  EXPECT_LE(threads.alive, 7u);
}

TEST(PosixThreadPool, IdleThreadsRetireAndWorkArrivingMeanwhileStillRuns) {
  platform::PosixThreadPool pool(1ms);
  Gate gate;
  // Submissions land before, during and after threads retire.
  constexpr int kRounds = 200;
  for (int i = 0; i < kRounds; ++i) {
    ASSERT_TRUE(pool.Submit(&Gate::Pass, &gate));
    if (i % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(500 * (i % 5)));
  }
  ASSERT_TRUE(gate.Await([&] { return gate.finished == kRounds; }));
  EXPECT_EQ(gate.entered, kRounds);
  EXPECT_TRUE(test_support::WaitFor([&] { return pool.CountThreads().alive == 0; }))
      << pool.CountThreads().alive << " threads alive";
}

// A library call that blocks for many retirement periods holds back no later
// work: the spare it left does not retire while it is busy.
TEST(PosixThreadPool, WorkHeldLongerThanTheRetirementHoldsNothingBack) {
  platform::PosixThreadPool pool(1ms);
  Gate held;
  held.open = false;
  ASSERT_TRUE(pool.Submit(&Gate::Pass, &held));
  ASSERT_TRUE(held.Await([&] { return held.entered == 1; }));
  for (int round = 0; round < 3; ++round) {
    // Long enough for every idle thread to have retired many times over.
    std::this_thread::sleep_for(50ms);
    Gate later;
    ASSERT_TRUE(pool.Submit(&Gate::Pass, &later));
    EXPECT_TRUE(later.Await([&] { return later.finished == 1; })) << "round " << round;
  }
  EXPECT_EQ(pool.CountThreads().startedBySubmitters, 1u);
  held.Open();
  ASSERT_TRUE(held.Await([&] { return held.finished == 1; }));
}

TEST(PosixThreadPool, ClosingLetsIdleThreadsGoAtOnce) {
  Gate gate;
  {
    platform::PosixThreadPool pool(1h);
    ASSERT_TRUE(pool.Submit(&Gate::Pass, &gate));
    ASSERT_TRUE(gate.Await([&] { return gate.finished == 1; }));
  }
  // Reaching here means the destructor did not wait out the hour.
}
#endif

}  // namespace
