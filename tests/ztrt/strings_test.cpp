#include "engine_test.h"

namespace ztrt_test {
namespace {

using Strings = EngineTest;

TEST_F(Strings, LStrFromPtrCopiesEveryByte) {
  const std::string bytes("a\0b\0", 4);
  LStrHandle handle = MakeString(bytes);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ((*handle)->cnt, 4);
  EXPECT_EQ(Bytes(handle), bytes);
  EXPECT_EQ(ztrtsimHandleSize(handle), 8);
  EXPECT_EQ(DSDisposeHandle(AsHandle(handle)), 0);
}

TEST_F(Strings, LStrFromPtrOfNothingIsAnEmptyString) {
  LStrHandle handle = nullptr;
  ASSERT_EQ(LStrFromPtr(&handle, 0, nullptr), 0);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ((*handle)->cnt, 0);
  EXPECT_EQ(DSDisposeHandle(AsHandle(handle)), 0);
}

TEST_F(Strings, LStrFromPtrRejectsBadArguments) {
  LStrHandle handle = nullptr;
  const unsigned char bytes[] = {'a'};
  EXPECT_NE(LStrFromPtr(&handle, -1, bytes), 0);
  EXPECT_NE(LStrFromPtr(&handle, 1, nullptr), 0);
  EXPECT_NE(LStrFromPtr(nullptr, 1, bytes), 0);
  EXPECT_EQ(handle, nullptr);
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
}

// A slot that already holds one of the caller's handles gets it rewritten,
// including from bytes that lie in that same block.
TEST_F(Strings, LStrFromPtrReusesTheHandleInTheSlot) {
  LStrHandle handle = MakeString("abcdef");
  LStrHandle same = handle;
  ASSERT_EQ(LStrFromPtr(&same, 3, (*handle)->str + 2), 0);
  EXPECT_EQ(same, handle);
  EXPECT_EQ(Bytes(handle), "cde");
  EXPECT_EQ(ztrtsimLiveHandles(), 1);

  void* block = nullptr;
  auto foreign = reinterpret_cast<LStrHandle>(&block);
  EXPECT_NE(LStrFromPtr(&foreign, 1, (*handle)->str), 0);
  EXPECT_EQ(DSDisposeHandle(AsHandle(handle)), 0);
}

TEST_F(Strings, Utf8SystemCopiesValidText) {
  const std::string text("d\xC3\xA9j\xC3\xA0 \xE2\x82\xAC \xF0\x9F\x98\x80\0z", 17);
  LStrHandle utf8 = MakeString(text);
  LStrHandle system = nullptr;
  ASSERT_EQ(ConvertUTF8StringToSystem(utf8, &system), 0);
  ASSERT_NE(system, nullptr);
  EXPECT_NE(system, utf8);
  EXPECT_EQ(Bytes(system), text);
  EXPECT_EQ(DSDisposeHandle(AsHandle(system)), 0);
  EXPECT_EQ(DSDisposeHandle(AsHandle(utf8)), 0);
}

TEST_F(Strings, Windows1252MapsLatinAndEuro) {
  ASSERT_EQ(ztrtsimSetEncoding(ZTRTSIM_ENCODING_WINDOWS_1252), 0);
  LStrHandle utf8 = MakeString("caf\xC3\xA9 5\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D \xC3\xBF");
  LStrHandle system = nullptr;
  ASSERT_EQ(ConvertUTF8StringToSystem(utf8, &system), 0);
  EXPECT_EQ(Bytes(system), "caf\xE9 5\x80 \x93q\x94 \xFF");
  EXPECT_EQ(DSDisposeHandle(AsHandle(system)), 0);
  EXPECT_EQ(DSDisposeHandle(AsHandle(utf8)), 0);
}

// A failed conversion leaves the output slot exactly as it was.
TEST_F(Strings, UnmappableOrInvalidTextFailsWithoutOutput) {
  ASSERT_EQ(ztrtsimSetEncoding(ZTRTSIM_ENCODING_WINDOWS_1252), 0);
  const std::string rejected[] = {
      "\xE2\x82\xB9",      // U+20B9, not in Windows-1252
      "\xC2\x80",          // U+0080, a C1 control 1252 does not carry
      "\xF0\x9F\x98\x80",  // outside the BMP
  };
  for (const std::string& text : rejected) {
    LStrHandle utf8 = MakeString(text);
    auto untouched = reinterpret_cast<LStrHandle>(0x1234);
    EXPECT_EQ(ConvertUTF8StringToSystem(utf8, &untouched), ZTRTSIM_ERR_ENCODING) << text;
    EXPECT_EQ(untouched, reinterpret_cast<LStrHandle>(0x1234));
    EXPECT_EQ(DSDisposeHandle(AsHandle(utf8)), 0);
  }

  ASSERT_EQ(ztrtsimSetEncoding(ZTRTSIM_ENCODING_UTF8), 0);
  const std::string invalid[] = {
      "\xC3",              // truncated
      "\xC0\xAF",          // overlong
      "\xED\xA0\x80",      // surrogate
      "\xF4\x90\x80\x80",  // above U+10FFFF
      "a\x80",             // stray continuation byte
      "\xFF",
  };
  for (const std::string& text : invalid) {
    LStrHandle utf8 = MakeString(text);
    LStrHandle out = nullptr;
    EXPECT_EQ(ConvertUTF8StringToSystem(utf8, &out), ZTRTSIM_ERR_ENCODING) << text;
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(DSDisposeHandle(AsHandle(utf8)), 0);
  }
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
}

TEST_F(Strings, ConvertReadsNullAsEmptyAndRefusesForeignInput) {
  LStrHandle out = nullptr;
  ASSERT_EQ(ConvertUTF8StringToSystem(nullptr, &out), 0);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ((*out)->cnt, 0);
  EXPECT_EQ(DSDisposeHandle(AsHandle(out)), 0);

  hostbind::LStr fake{5, {'x'}};
  hostbind::LStrPtr pointer = &fake;
  LStrHandle untouched = nullptr;
  EXPECT_EQ(ConvertUTF8StringToSystem(&pointer, &untouched), ZTRTSIM_ERR_HANDLE);
  EXPECT_EQ(untouched, nullptr);
}

// A count that claims more bytes than the block holds is not read past the block.
TEST_F(Strings, ConvertRefusesACountBeyondTheBlock) {
  LStrHandle utf8 = MakeString("abc");
  (*utf8)->cnt = 100;
  LStrHandle out = nullptr;
  EXPECT_EQ(ConvertUTF8StringToSystem(utf8, &out), ZTRTSIM_ERR_HANDLE);
  (*utf8)->cnt = -1;
  EXPECT_EQ(ConvertUTF8StringToSystem(utf8, &out), ZTRTSIM_ERR_HANDLE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(DSDisposeHandle(AsHandle(utf8)), 0);
}

}  // namespace
}  // namespace ztrt_test
