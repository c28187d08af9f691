#include "ztdataconv/convert.h"

#include "host_test.h"
#include "kelerr/exception.h"
#include "ztdataconv/auto_lstr_handle.h"

namespace ztdataconv {
namespace {

using Convert = HostTest;

constexpr char kJson55[] =
    R"({"error_constant":"kelapalerr_dynamicCastFailed","file":"ztdataconv\\convert","line":55,)"
    R"("component":"kronel_ztprovider"})";
constexpr char kJson66[] =
    R"({"error_constant":"kelapalerr_dynamicCastFailed","file":"ztdataconv\\convert","line":66,)"
    R"("component":"kronel_ztprovider"})";

// Runs the conversion and returns the record of the exception it throws.
std::string FailingConversion(const std::string& text, hostbind::LStrHandle& destination, int32_t& code) {
  try {
    ConvertToLStrHandle(text, destination);
  } catch (const kelerr::Exception& e) {
    code = e.Status().code;
    return e.what();
  }
  ADD_FAILURE() << "no exception";
  return std::string();
}

// Empty text takes the ordinary road: one string of length 0, one conversion.
TEST_F(Convert, EmptyTextBecomesAnEmptyHostString) {
  AutoLStrHandle holder;
  ConvertToLStrHandle("", holder.Slot());
  ASSERT_NE(holder.Get(), nullptr);
  EXPECT_EQ((*holder.Get())->cnt, 0);
  EXPECT_EQ(Calls(ZTRTSIM_FN_LSTR_FROM_PTR), 1);
  EXPECT_EQ(Calls(ZTRTSIM_FN_CONVERT_UTF8_TO_SYSTEM), 1);
  EXPECT_EQ(ztrtsimLiveHandles(), 1);
}

TEST_F(Convert, EmbeddedZeroBytesArePassedWithTheFullLength) {
  const std::string text("ab\0cd\0", 6);
  AutoLStrHandle holder;
  ConvertToLStrHandle(text, holder.Slot());
  EXPECT_EQ(Bytes(holder.Get()), text);
  EXPECT_EQ(ztrtsimLiveHandles(), 1);
}

TEST_F(Convert, TextArrivesInTheSystemEncoding) {
  ASSERT_EQ(ztrtsimSetEncoding(ZTRTSIM_ENCODING_WINDOWS_1252), 0);
  AutoLStrHandle holder;
  ConvertToLStrHandle("Ger\xC3\xA4t \xE2\x82\xAC", holder.Slot());
  EXPECT_EQ(Bytes(holder.Get()), "Ger\xE4t \x80");
}

TEST_F(Convert, ReplacesAndReleasesTheHandleTheDestinationHeld) {
  AutoLStrHandle holder;
  ConvertToLStrHandle("old", holder.Slot());
  const hostbind::LStrHandle old = holder.Get();
  ConvertToLStrHandle("new", holder.Slot());
  ASSERT_NE(holder.Get(), old);
  EXPECT_EQ(Bytes(holder.Get()), "new");
  EXPECT_EQ(ztrtsimHandleSize(old), -1);
  EXPECT_EQ(ztrtsimLiveHandles(), 1);
  EXPECT_EQ(ztrtsimRejectedDisposals(), 0);
  // Two intermediate strings and the old result.
  EXPECT_EQ(Calls(ZTRTSIM_FN_DS_DISPOSE_HANDLE), 3);
}

TEST_F(Convert, FailedLStrFromPtrThrowsWithLine55) {
  AutoLStrHandle holder;
  ConvertToLStrHandle("kept", holder.Slot());
  const hostbind::LStrHandle before = holder.Get();
  ASSERT_EQ(ztrtsimFailCall(ZTRTSIM_FN_LSTR_FROM_PTR, 1, 0), 0);

  int32_t code = 0;
  EXPECT_EQ(FailingConversion("x", holder.Slot(), code), kJson55);
  EXPECT_EQ(code, -52004);
  EXPECT_EQ(holder.Get(), before);
  EXPECT_EQ(Bytes(holder.Get()), "kept");
  EXPECT_EQ(Calls(ZTRTSIM_FN_CONVERT_UTF8_TO_SYSTEM), 1);
  EXPECT_EQ(ztrtsimLiveHandles(), 1);
}

TEST_F(Convert, FailedSystemConversionThrowsWithLine66AndLeaksNothing) {
  hostbind::LStrHandle destination = nullptr;
  ASSERT_EQ(ztrtsimFailCall(ZTRTSIM_FN_CONVERT_UTF8_TO_SYSTEM, 1, 0), 0);
  int32_t code = 0;
  EXPECT_EQ(FailingConversion("x", destination, code), kJson66);
  EXPECT_EQ(code, -52004);
  EXPECT_EQ(destination, nullptr);
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
  EXPECT_EQ(ztrtsimRejectedDisposals(), 0);
}

// Text the system encoding cannot hold fails the same way as any host failure.
TEST_F(Convert, UnmappableTextThrowsWithLine66) {
  ASSERT_EQ(ztrtsimSetEncoding(ZTRTSIM_ENCODING_WINDOWS_1252), 0);
  AutoLStrHandle holder;
  ConvertToLStrHandle("kept", holder.Slot());
  const hostbind::LStrHandle before = holder.Get();
  int32_t code = 0;
  EXPECT_EQ(FailingConversion("\xE2\x82\xB9", holder.Slot(), code), kJson66);
  EXPECT_EQ(holder.Get(), before);
  EXPECT_EQ(ztrtsimLiveHandles(), 1);
}

}  // namespace
}  // namespace ztdataconv
