#include <gtest/gtest.h>

#include <exception>
#include <stdexcept>

#include "morrowkit/check_result.h"
#include "morrowkit/hresult_exception.h"
#include "support.h"

namespace morrowkit::test {
namespace {

constexpr ErrorLocation kAt305 = {kPropertyBagHandleFile, 305, kComponent};

TEST(HResultExceptionTest, CarriesCodeAndLocationWithoutMessage) {
  const HResultException e(static_cast<HRESULT>(0x80020005u), kAt305);
  EXPECT_EQ(e.Code(), static_cast<HRESULT>(0x80020005u));
  EXPECT_STREQ(e.GetErrorJson(), Location(kPropertyBagHandleFile, 305).c_str());
  EXPECT_STREQ(e.what(), "");
}

TEST(HResultExceptionTest, LeavesOutAMissingComponent) {
  const HResultException e(platform::kE_FAIL, {"morrowkit/framework/FrameworkHandle", 33, nullptr});
  EXPECT_STREQ(e.GetErrorJson(), "{\"file\":\"morrowkit/framework/FrameworkHandle\",\"line\":33}");
}

// The detailed text becomes the message, in UTF-8, up to its NUL.
TEST(HResultExceptionTest, DetailIsTheMessage) {
  const platform::WideString detail = Wide(u"caf\u00e9 \u20ac");
  const HResultException e(platform::kE_FAIL, kAt305, detail.c_str());
  EXPECT_STREQ(e.what(), "caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_STREQ(e.GetErrorJson(), Location(kPropertyBagHandleFile, 305).c_str());
}

TEST(HResultExceptionTest, DetailEndsAtItsNul) {
  platform::WideString detail = Wide(u"ab");
  detail.push_back(0);
  detail += Wide(u"cd");
  EXPECT_STREQ(HResultException(platform::kE_FAIL, kAt305, detail.c_str()).what(), "ab");
}

TEST(HResultExceptionTest, NullDetailIsNoMessage) {
  EXPECT_STREQ(HResultException(platform::kE_FAIL, kAt305, nullptr).what(), "");
}

// Copying hands the JSON text over to the copy.
TEST(HResultExceptionTest, CopyTakesTheJsonText) {
  const platform::WideString detail = Wide(u"busy");
  const HResultException source(platform::kE_FAIL, kAt305, detail.c_str());
  const HResultException copy(source);
  EXPECT_EQ(copy.Code(), platform::kE_FAIL);
  EXPECT_STREQ(copy.what(), "busy");
  EXPECT_STREQ(copy.GetErrorJson(), Location(kPropertyBagHandleFile, 305).c_str());
  EXPECT_EQ(source.GetErrorJson(), nullptr);
  EXPECT_EQ(source.Code(), platform::kE_FAIL);
  EXPECT_STREQ(source.what(), "busy");
}

TEST(HResultExceptionTest, StoredExceptionKeepsCodeAndLocation) {
  std::exception_ptr stored;
  try {
    throw InvalidArgException({kFrameworkHandleFile, 336, kComponent});
  } catch (...) {
    stored = std::current_exception();
  }
  const Thrown thrown = Catch<InvalidArgException>([&] { std::rethrow_exception(stored); });
  EXPECT_EQ(thrown.code, platform::kE_INVALIDARG);
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 336));
}

// The fixed-code kinds: their code, and both handlers catch them.
TEST(HResultExceptionTest, FixedCodeKinds) {
  const ErrorLocation at = {kFrameworkHandleFile, 1, kComponent};
  EXPECT_EQ(Catch([&] { throw FailException(at); }).code, platform::kE_FAIL);
  EXPECT_EQ(Catch([&] { throw UnexpectedException(at); }).code, platform::kE_UNEXPECTED);
  EXPECT_EQ(Catch([&] { throw InvalidArgException(at); }).code, platform::kE_INVALIDARG);
  EXPECT_THROW(throw FailException(at), std::exception);
  EXPECT_THROW(throw UnexpectedException(at), std::exception);
  EXPECT_THROW(throw InvalidArgException(at), std::exception);
}

// The checking rule: only negative results throw.
TEST(CheckResultTest, NonNegativeResultsPass) {
  EXPECT_NO_THROW(CheckResult(platform::kS_OK, kAt305));
  EXPECT_NO_THROW(CheckResult(platform::kS_FALSE, kAt305));
  EXPECT_NO_THROW(CheckResult(0x7FFFFFFF, kAt305));
}

TEST(CheckResultTest, NegativeResultThrowsAtTheLocation) {
  const Thrown thrown = Catch([] { CheckResult(static_cast<HRESULT>(0x80070005u), kAt305); });
  EXPECT_EQ(thrown.code, static_cast<HRESULT>(0x80070005u));
  EXPECT_EQ(thrown.json, Location(kPropertyBagHandleFile, 305));
}

TEST(CheckResultTest, DetailOnlyOnFailure) {
  const platform::WideString detail = Wide(u"why");
  EXPECT_NO_THROW(CheckResult(platform::kS_FALSE, kAt305, detail.c_str()));
  EXPECT_EQ(Catch([&] { CheckResult(platform::kE_FAIL, kAt305, detail.c_str()); }).message, "why");
}

}  // namespace
}  // namespace morrowkit::test
