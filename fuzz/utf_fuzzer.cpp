// The UTF-8/UTF-16 conversions against a decoder written from the rules:
// the input read as UTF-8 and, byte pairs taken as units, as UTF-16. Output
// buffers are heap blocks of exactly the size given, so that ASan sees any
// write or read beyond them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "pex/exception.h"
#include "pex/utf.h"

namespace {

using platform::WideChar;
using platform::WideString;

constexpr char kUtf8ToWideFile[] = "pex\\Utf8ToWide";
constexpr char kWideToUtf8File[] = "pex\\WideToUtf8";

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "utf fuzzer: %s\n", what);
  std::abort();
}

void Check(bool condition, const char* what) {
  if (!condition) Fail(what);
}

constexpr int kCutOrBad = -1;  // line 171 or 75

// One decoded character, or the source line its rejection names.
struct Step {
  std::size_t length = 0;
  WideChar unit = 0;
  int invalidLine = 0;
};

bool IsContinuation(unsigned byte) { return byte >= 0x80 && byte <= 0xBF; }

Step DecodeOne(const unsigned char* p, std::size_t available) {
  const unsigned b0 = p[0];
  if (b0 < 0x80) return {1, static_cast<WideChar>(b0), 0};
  if (b0 >= 0xF0) return {0, 0, 150};
  if (b0 >= 0xE0) {
    // A cut-off character with a bad byte inside the range may be named either way.
    if (available < 3) return {0, 0, available == 2 && !IsContinuation(p[1]) ? kCutOrBad : 171};
    if (!IsContinuation(p[1]) || !IsContinuation(p[2]) || (b0 == 0xE0 && p[1] < 0xA0)) return {0, 0, 75};
    return {3, static_cast<WideChar>(((b0 & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)), 0};
  }
  if (b0 < 0xC2) return {0, 0, 61};
  if (available < 2) return {0, 0, 171};
  if (!IsContinuation(p[1])) return {0, 0, 61};
  return {2, static_cast<WideChar>(((b0 & 0x1F) << 6) | (p[1] & 0x3F)), 0};
}

struct Decoded {
  WideString units;
  std::vector<std::size_t> ends;  // byte offset after each character
  int invalidLine = 0;            // 0 when the whole text is valid
  std::size_t invalidAt = 0;      // units decoded before the invalid character
};

Decoded DecodeAll(const unsigned char* data, std::size_t size) {
  Decoded out;
  std::size_t at = 0;
  while (at < size) {
    const Step step = DecodeOne(data + at, size - at);
    if (step.invalidLine != 0) {
      out.invalidLine = step.invalidLine;
      out.invalidAt = out.units.size();
      return out;
    }
    out.units.push_back(step.unit);
    at += step.length;
    out.ends.push_back(at);
  }
  return out;
}

std::string Encode(const WideString& units, std::vector<std::size_t>* ends = nullptr) {
  std::string out;
  for (WideChar c : units) {
    const std::uint32_t u = static_cast<std::uint16_t>(c);
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
    if (ends != nullptr) ends->push_back(out.size());
  }
  return out;
}

// A heap block of exactly `count` elements, filled with a sentinel.
template <typename T>
struct Block {
  explicit Block(std::size_t count, T fill) : data(new T[count == 0 ? 1 : count]), size(count) {
    for (std::size_t i = 0; i < count; ++i) data[i] = fill;
  }
  T* begin() const { return data.get(); }
  T* end() const { return data.get() + size; }
  std::unique_ptr<T[]> data;
  std::size_t size;
};

template <typename Exception, typename Body>
const Exception* Raises(Body body, Exception& caught) {
  try {
    body();
  } catch (const Exception& e) {
    caught = e;
    return &caught;
  } catch (...) {
    Fail("an exception of the wrong class");
  }
  return nullptr;
}

void CheckRaised(const kel::pex::Exception* e, const char* file, int line, const char* what) {
  Check(e != nullptr, what);
  Check(std::strcmp(e->file, file) == 0, "the exception names the wrong file");
  if (line == kCutOrBad) {
    Check(e->line == 171 || e->line == 75, "the exception names the wrong line");
  } else {
    Check(e->line == line, "the exception names the wrong line");
  }
}

void FuzzUtf8(const unsigned char* data, std::size_t size) {
  const char* begin = reinterpret_cast<const char*>(data);
  const char* end = begin + size;
  const Decoded expected = DecodeAll(data, size);

  // A sentinel in the target shows whether a rejected text touched it.
  WideString assigned(u"untouched");
  kel::pex::InvalidSequence sequence;
  if (expected.invalidLine != 0) {
    CheckRaised(Raises([&] { kel::pex::Utf8ToWide(begin, end); }, sequence), kUtf8ToWideFile,
                expected.invalidLine, "count accepted an invalid text");
    Block<WideChar> room(size, 0xBEEF);
    CheckRaised(Raises([&] { kel::pex::Utf8ToWide(begin, end, room.begin(), room.end()); }, sequence),
                kUtf8ToWideFile, expected.invalidLine, "convert accepted an invalid text");
    CheckRaised(Raises([&] { kel::pex::AssignUtf8ToWide(begin, size, assigned); }, sequence), kUtf8ToWideFile,
                expected.invalidLine, "AssignUtf8ToWide accepted an invalid text");
    Check(assigned == u"untouched", "a rejected text changed the target");

    // Into a block that ends before the bad character, the full block wins.
    if (expected.invalidAt > 0) {
      Block<WideChar> short_room(expected.invalidAt, 0xBEEF);
      kel::pex::BufferOverflow overflow;
      CheckRaised(Raises([&] { kel::pex::Utf8ToWide(begin, end, short_room.begin(), short_room.end()); }, overflow),
                  kUtf8ToWideFile, 298, "a full block with input left did not overflow");
      Check(std::equal(short_room.begin(), short_room.end(), expected.units.begin()), "wrong units before overflow");
    }
    return;
  }

  const std::size_t n = expected.units.size();
  Check(kel::pex::Utf8ToWide(begin, end) == n, "wrong unit count");
  Block<WideChar> exact(n, 0xBEEF);
  if (n > 0) {
    Check(kel::pex::Utf8ToWide(begin, end, exact.begin(), exact.end()) == n, "wrong units written");
    Check(WideString(exact.begin(), exact.end()) == expected.units, "wrong units");

    Block<WideChar> short_room(n - 1, 0xBEEF);
    kel::pex::BufferOverflow overflow;
    CheckRaised(Raises([&] { kel::pex::Utf8ToWide(begin, end, short_room.begin(), short_room.end()); }, overflow),
                kUtf8ToWideFile, 298, "a block one unit short did not overflow");
    Check(std::equal(short_room.begin(), short_room.end(), expected.units.begin()), "wrong units before overflow");
  }
  kel::pex::AssignUtf8ToWide(begin, size, assigned);
  Check(assigned == expected.units, "AssignUtf8ToWide gave the wrong units");

  // Back again: every valid text comes back byte for byte.
  const WideChar* wbegin = expected.units.data();
  const WideChar* wend = wbegin + n;
  Check(kel::pex::WideToUtf8(wbegin, wend) == size, "the units do not count back to the text's length");
  Block<char> bytes(size, '\x5A');
  if (size > 0) {
    Check(kel::pex::WideToUtf8(wbegin, wend, bytes.begin(), bytes.end()) == size, "wrong byte count written");
    Check(std::memcmp(bytes.begin(), data, size) == 0, "the round trip changed the text");
  }
  std::string back;
  kel::pex::AssignWideToUtf8(wbegin, n, back);
  Check(back == std::string(begin, end), "AssignWideToUtf8 did not give the text back");
}

void FuzzUtf16(const unsigned char* data, std::size_t size) {
  WideString units;
  for (std::size_t i = 0; i + 1 < size; i += 2) units.push_back(static_cast<WideChar>(data[i] | (data[i + 1] << 8)));
  const std::size_t n = units.size();
  const WideChar* begin = units.data();
  const WideChar* end = begin + n;

  std::vector<std::size_t> ends;
  const std::string expected = Encode(units, &ends);
  Check(kel::pex::WideToUtf8(begin, end) == expected.size(), "wrong byte count");

  std::string assigned;
  kel::pex::AssignWideToUtf8(begin, n, assigned);
  Check(assigned == expected, "AssignWideToUtf8 gave the wrong bytes");
  if (n == 0) return;

  Block<char> exact(expected.size(), '\x5A');
  Check(kel::pex::WideToUtf8(begin, end, exact.begin(), exact.end()) == expected.size(), "wrong bytes written");
  Check(std::memcmp(exact.begin(), expected.data(), expected.size()) == 0, "wrong bytes");

  // One byte short: the last character is not written at all.
  Block<char> short_room(expected.size() - 1, '\x5A');
  kel::pex::BufferOverflow overflow;
  CheckRaised(Raises([&] { kel::pex::WideToUtf8(begin, end, short_room.begin(), short_room.end()); }, overflow),
              kWideToUtf8File, 262, "a block one byte short did not overflow");
  const std::size_t whole = ends.size() > 1 ? ends[ends.size() - 2] : 0;
  Check(std::memcmp(short_room.begin(), expected.data(), whole) == 0, "wrong bytes before overflow");
  for (std::size_t i = whole; i < short_room.size; ++i) Check(short_room.data[i] == '\x5A', "a character written in part");

  // Every unit comes back, surrogates and zero units included.
  WideString back;
  kel::pex::AssignUtf8ToWide(expected.data(), expected.size(), back);
  Check(back == units, "the round trip changed the units");
}

void FuzzBadRanges(const unsigned char* data, std::size_t size) {
  const char* begin = reinterpret_cast<const char*>(data);
  WideChar unit = 0;
  char byte = 0;
  const WideChar* wide = &unit;
  kel::pex::InvalidArgument argument;
  CheckRaised(Raises([&] { kel::pex::Utf8ToWide(begin, begin + size, nullptr, nullptr); }, argument),
              kUtf8ToWideFile, 272, "null output accepted");
  CheckRaised(Raises([&] { kel::pex::Utf8ToWide(begin, begin + size, &unit + 1, &unit); }, argument),
              kUtf8ToWideFile, 272, "reversed output accepted");
  CheckRaised(Raises([&] { kel::pex::WideToUtf8(wide, wide + 1, nullptr, nullptr); }, argument), kWideToUtf8File,
              230, "null output accepted");
  CheckRaised(Raises([&] { kel::pex::WideToUtf8(wide, wide + 1, &byte + 1, &byte); }, argument), kWideToUtf8File,
              230, "reversed output accepted");
  // A null input range converts nothing.
  Check(kel::pex::Utf8ToWide(nullptr, nullptr, &unit, &unit + 1) == 0, "a null text converted to something");
  Check(kel::pex::WideToUtf8(nullptr, nullptr, &byte, &byte + 1) == 0, "a null text converted to something");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly the input's length, so the decoder cannot peek past it unseen.
  std::unique_ptr<unsigned char[]> copy(new unsigned char[size == 0 ? 1 : size]);
  if (size > 0) std::memcpy(copy.get(), data, size);
  FuzzUtf8(copy.get(), size);
  FuzzUtf16(copy.get(), size);
  if (size < 4) FuzzBadRanges(copy.get(), size);
  return 0;
}
