#include "kelerr/exception.h"

#include "test_records.h"

namespace kelerr {
namespace {

constexpr char kJson[] = R"({"error_constant":"c","line":66})";

Exception Sample() { return Exception(-52004, {{"error_constant", "c"}, {"line", 66}}); }

TEST(Exception, CopyMovesTheText) {
  const Exception source = Sample();
  const char* const text = source.GetJson();
  const Exception copy(source);
  EXPECT_EQ(copy.GetJson(), text);
  EXPECT_STREQ(copy.what(), kJson);
  EXPECT_EQ(copy.Status().code, -52004);
  EXPECT_EQ(source.GetJson(), nullptr);
  EXPECT_STREQ(source.what(), "");
}

TEST(Exception, CaughtAsEachOfItsTypesWithItsText) {
  EXPECT_THROW(throw Sample(), Exception);
  try {
    throw Sample();
  } catch (const ExceptionBase& e) {
    EXPECT_STREQ(e.GetJson(), kJson);
  }
  std::exception_ptr stored;
  try {
    throw Sample();
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), kJson);
    stored = std::current_exception();
  }
  EXPECT_THROW(std::rethrow_exception(stored), Exception);
}

TEST(Exception, WithoutTextGivesEmptyWhatAndNullJson) {
  Exception e;
  e.Status().resize = test::FailingResize;
  SetError(e.Status(), -1, {{"a", 1}});
  EXPECT_EQ(e.Status().code, -1);
  EXPECT_EQ(e.GetJson(), nullptr);
  EXPECT_STREQ(e.what(), "");
}

}  // namespace
}  // namespace kelerr
