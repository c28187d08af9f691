#include "pex/utf.h"

#include <cstring>
#include <memory>

#include "pex/exception.h"
#include "test_support.h"

namespace kel {
namespace pex {
namespace {

using test::Raised;
using test::Wide;

// Both the count and the conversion reject [begin, end) at the given line.
void ExpectInvalid(const char* begin, const char* end, std::int32_t line) {
  const InvalidSequence e = Raised<InvalidSequence>([&] { Utf8ToWide(begin, end); });
  EXPECT_EQ(e.line, line);
  EXPECT_STREQ(e.file, "pex\\Utf8ToWide");
  platform::WideChar out[8];
  EXPECT_EQ(Raised<InvalidSequence>([&] { Utf8ToWide(begin, end, out, out + 8); }).line, line);
}

TEST(PexException, MessagesAndCodesThroughTheBase) {
  const Exception unspecified;
  const InvalidArgument argument;
  const OutOfRange range;
  const BufferOverflow overflow;
  const InvalidSequence sequence;
  const struct {
    const Exception& e;
    const char* what;
    std::uint32_t code;
  } cases[] = {{unspecified, "unspecified exception", 0xFFFFFFFFu},
               {argument, "Invalid argument(s)", 0x8ABC700Fu},
               {range, "Out of range", 0x8ABC7007u},
               {overflow, "Buffer overflowed", 0x8ABC7017u},
               {sequence, "Invalid UTF8 encoding sequence", 0x8ABC7030u}};
  for (const auto& c : cases) {
    EXPECT_STREQ(c.e.what(), c.what);
    EXPECT_EQ(c.e.GetErrorCode(), static_cast<std::int32_t>(c.code));
  }
}

TEST(Utf8Wide, ConvertsBothWays) {
  const struct {
    std::string bytes;
    platform::WideString units;
  } cases[] = {{"A", Wide({0x41})},
               {"\xC3\xA9", Wide({0xE9})},
               {"\xE2\x82\xAC", Wide({0x20AC})},
               {std::string("\x00\x7F", 2), Wide({0, 0x7F})},
               {"\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF", Wide({0x80, 0x7FF, 0x800, 0xFFFF})},
               // A surrogate pair is two three-byte sequences.
               {"\xED\xA0\xBD\xED\xB8\x80", Wide({0xD83D, 0xDE00})}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    const char* in = c.bytes.data();
    platform::WideString units(Utf8ToWide(in, in + c.bytes.size()), 0);
    EXPECT_EQ(Utf8ToWide(in, in + c.bytes.size(), &units[0], &units[0] + units.size()), units.size());
    EXPECT_EQ(units, c.units);
    std::string bytes(WideToUtf8(units.data(), units.data() + units.size()), '\0');
    EXPECT_EQ(WideToUtf8(units.data(), units.data() + units.size(), &bytes[0], &bytes[0] + bytes.size()),
              bytes.size());
    EXPECT_EQ(bytes, c.bytes);
  }
}

TEST(Utf8ToWide, RejectsInvalidSequencesAtTheirLines) {
  const struct {
    std::string bytes;
    std::int32_t line;
  } cases[] = {{"\xC0\x80", 61},     {"\xC1\xBF", 61},         {"\xE0\x80\x80", 75},   // overlong
               {"\x80", 61},         {"ab\xBF", 61},           {"\xC3\x41", 61},       // stray or missing
               {"\xE2\x41\xAC", 75}, {"\xE2\x82\x41", 75},                             //   continuation
               {"\xF0\x9F\x98\x80", 150}, {"\xFF", 150}};                              // four bytes up
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    ExpectInvalid(c.bytes.data(), c.bytes.data() + c.bytes.size(), c.line);
  }
}

// A range that ends inside a character never reads past its end.
TEST(Utf8ToWide, CutOffCharacterIsInvalid) {
  const char buffer[] = "A\xE2\x82\xAC\xC3\xA9Z";
  ExpectInvalid(buffer, buffer + 2, 171);
  ExpectInvalid(buffer, buffer + 3, 171);
  ExpectInvalid(buffer + 4, buffer + 5, 171);
  // Exactly sized heap blocks, so AddressSanitizer sees any over-read.
  for (const std::string& bytes : {std::string("\xE2"), std::string("A\xE2\x82"), std::string("\xC3")}) {
    std::unique_ptr<char[]> block(new char[bytes.size()]);
    std::memcpy(block.get(), bytes.data(), bytes.size());
    ExpectInvalid(block.get(), block.get() + bytes.size(), 171);
    platform::WideString target = Wide({0x51});
    Raised<InvalidSequence>([&] { AssignUtf8ToWide(block.get(), bytes.size(), target); });
    EXPECT_EQ(target, Wide({0x51}));
  }
}

TEST(Utf8Wide, OutputOneTooSmallOverflows) {
  const std::string bytes = "a\xE2\x82\xAC";
  platform::WideChar units[1];
  const BufferOverflow e = Raised<BufferOverflow>(
      [&] { Utf8ToWide(bytes.data(), bytes.data() + bytes.size(), units, units + 1); });
  EXPECT_EQ(e.line, 298);
  // A character that does not fit is not written at all.
  const platform::WideString wide = Wide({0x41, 0x20AC});
  char out[4] = {'.', '.', '.', '.'};
  const BufferOverflow w = Raised<BufferOverflow>([&] { WideToUtf8(wide.data(), wide.data() + 2, out, out + 3); });
  EXPECT_EQ(w.line, 262);
  EXPECT_STREQ(w.file, "pex\\WideToUtf8");
  EXPECT_EQ(std::string(out, 4), "A...");
}

TEST(Utf8Wide, BadOutputOrInputRangeIsInvalidArgument) {
  const char bytes[] = "ab";
  platform::WideChar wide[2] = {0x61, 0x62};
  char narrow[2];
  EXPECT_EQ(Raised<InvalidArgument>([&] { Utf8ToWide(bytes, bytes + 2, nullptr, nullptr); }).line, 272);
  EXPECT_EQ(Raised<InvalidArgument>([&] { Utf8ToWide(bytes, bytes + 2, wide + 1, wide); }).line, 272);
  EXPECT_EQ(Raised<InvalidArgument>([&] { Utf8ToWide(nullptr, bytes + 2, wide, wide + 2); }).line, 272);
  EXPECT_EQ(Raised<InvalidArgument>([&] { WideToUtf8(wide, wide + 2, nullptr, nullptr); }).line, 230);
  EXPECT_EQ(Raised<InvalidArgument>([&] { WideToUtf8(wide + 2, wide, narrow, narrow + 2); }).line, 230);
  EXPECT_EQ(Utf8ToWide(nullptr, nullptr, wide, wide + 2), 0u);
  EXPECT_EQ(WideToUtf8(nullptr, nullptr, narrow, narrow + 2), 0u);
}

TEST(AssignUtf8ToWide, ReplacesTargetOnlyWithValidText) {
  platform::WideString target = Wide({1, 2, 3, 4, 5});
  const std::string bytes("x\0\xC3\xA9", 4);
  EXPECT_EQ(&AssignUtf8ToWide(bytes.data(), bytes.size(), target), &target);
  EXPECT_EQ(target, Wide({0x78, 0, 0xE9}));
  const std::string invalid = "ok\xC0\x80";
  Raised<InvalidSequence>([&] { AssignUtf8ToWide(invalid.data(), invalid.size(), target); });
  EXPECT_EQ(target, Wide({0x78, 0, 0xE9}));
  EXPECT_TRUE(AssignUtf8ToWide(nullptr, 0, target).empty());
}

TEST(AssignWideToUtf8, ConvertsGivenCountIncludingEmbeddedZeros) {
  std::string target = "old";
  const platform::WideString units = Wide({0x41, 0, 0x20AC});
  EXPECT_EQ(&AssignWideToUtf8(units.data(), units.size(), target), &target);
  EXPECT_EQ(target, std::string("A\0\xE2\x82\xAC", 5));
  EXPECT_TRUE(AssignWideToUtf8(units.data(), 0, target).empty());
}

TEST(CutUtf8Length, NeverSplitsACharacter) {
  const char bytes[] = "a\xE2\x82\xAC" "b";
  EXPECT_EQ(detail::CutUtf8Length(bytes, 5, 5), 5u);
  EXPECT_EQ(detail::CutUtf8Length(bytes, 5, 4), 4u);
  EXPECT_EQ(detail::CutUtf8Length(bytes, 5, 3), 1u);
  EXPECT_EQ(detail::CutUtf8Length(bytes, 5, 2), 1u);
}

}  // namespace
}  // namespace pex
}  // namespace kel
