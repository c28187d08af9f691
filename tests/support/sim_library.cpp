#include "sim_library.h"

#include <gtest/gtest.h>

#include "kelsim.h"
#include "wait_for.h"

namespace test_support::kelsim {

namespace {

// The library's messages name the source as "test.json:line:column".
constexpr char kSource[] = "test.json";

void Accepted(std::int32_t status, const char* error) { ASSERT_EQ(status, 0) << error; }

}  // namespace

void Load(const std::string& description) {
  char error[512] = "";
  Accepted(kelsimLoadText(description.c_str(), kSource, error, sizeof error), error);
}

void SetProfile(const std::string& profile) {
  char error[512] = "";
  Accepted(kelsimSetProfile(profile.c_str(), error, sizeof error), error);
}

void ApplyChange(const std::string& target, const std::string& change) {
  char error[512] = "";
  Accepted(kelsimApplyChange(target.c_str(), change.c_str(), kSource, error, sizeof error), error);
}

void ApplyChangeDuring(const std::string& operation, const std::string& target, const std::string& change) {
  char error[512] = "";
  Accepted(kelsimApplyChangeDuring(operation.c_str(), target.c_str(), change.c_str(), kSource, error,
                                   sizeof error),
           error);
}

void FailCall(const std::string& operation, std::uint32_t nth, std::int32_t result) {
  char error[512] = "";
  Accepted(kelsimSetFailure(operation.c_str(), nth, result, error, sizeof error), error);
}

void FailRun(const std::string& operation, std::uint32_t count, std::int32_t result) {
  char error[512] = "";
  Accepted(kelsimSetFailureRun(operation.c_str(), count, result, error, sizeof error), error);
}

void FailFor(const std::string& operation, std::uint32_t milliseconds, std::int32_t result) {
  char error[512] = "";
  Accepted(kelsimSetFailureFor(operation.c_str(), milliseconds, result, error, sizeof error), error);
}

void ChangeProfile(const std::string& profile) {
  char error[512] = "";
  Accepted(kelsimChangeProfile(profile.c_str(), error, sizeof error), error);
}

void SetLatency(const std::string& operation, std::uint32_t milliseconds) {
  char error[512] = "";
  Accepted(kelsimSetLatency(operation.c_str(), milliseconds, error, sizeof error), error);
}

std::string Leftovers() {
  std::string left;
  auto add = [&left](std::uint64_t count, const char* what) {
    if (count != 0) left += (left.empty() ? "" : ", ") + std::to_string(count) + " " + what;
  };
  add(kelsimLiveObjects(), "live objects");
  add(kelsimOutstandingReferences(), "outstanding references");
  add(kelsimRegistrations(), "registrations");
  add(kelsimHandlerReferences(), "references to handlers");
  if (kelsimWaitIdle(0) != 1) add(1, "notification, callback or late release under way");
  return left;
}

bool WaitUntilQuiet(std::chrono::milliseconds patience) {
  return WaitFor([] { return Leftovers().empty(); }, patience);
}

void ExpectQuiet() { EXPECT_TRUE(WaitUntilQuiet()) << "the library still holds " << Leftovers(); }

}  // namespace test_support::kelsim
