// The simulated library's hardware descriptions and changes: any text is
// loaded or rejected with "source:line:column: message" pointing into the
// text, nothing else escapes, and a loaded description written back loads
// again and writes back the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "description_loader.h"
#include "description_writer.h"

namespace {

constexpr char kSource[] = "fuzz.json";

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "description fuzzer: %s\n%s\n", what, detail.c_str());
  std::abort();
}

bool ReadNumber(std::string_view& text, std::uint64_t& value) {
  std::size_t digits = 0;
  value = 0;
  while (digits < text.size() && digits < 10 && text[digits] >= '0' && text[digits] <= '9') {
    value = value * 10 + static_cast<std::uint64_t>(text[digits] - '0');
    ++digits;
  }
  text.remove_prefix(digits);
  return digits > 0;
}

// The position must lie in the text: a line that exists, a column at most
// one past its last byte (columns count characters, which are never more).
void CheckMessage(std::string_view text, const std::string& message) {
  std::string_view rest = message;
  const std::string prefix = std::string(kSource) + ":";
  std::uint64_t line = 0, column = 0;
  if (rest.substr(0, prefix.size()) != prefix) Fail("the message does not name the source", message);
  rest.remove_prefix(prefix.size());
  if (!ReadNumber(rest, line) || rest.empty() || rest[0] != ':') Fail("the message has no line", message);
  rest.remove_prefix(1);
  if (!ReadNumber(rest, column) || rest.substr(0, 2) != ": " || rest.size() <= 2) {
    Fail("the message has no column or no text", message);
  }
  if (line == 0 || column == 0) Fail("lines and columns count from 1", message);

  std::size_t start = 0;
  for (std::uint64_t i = 1; i < line; ++i) {
    const std::size_t newline = text.find('\n', start);
    if (newline == std::string_view::npos) Fail("the line lies past the text", message);
    start = newline + 1;
  }
  const std::size_t end = text.find('\n', start);
  const std::size_t bytes = (end == std::string_view::npos ? text.size() : end) - start;
  if (column > bytes + 1) Fail("the column lies past its line", message);
}

template <class Load>
bool Loads(std::string_view text, Load load) {
  try {
    load(text);
    return true;
  } catch (const kelmorrow::DescriptionError& error) {
    CheckMessage(text, error.what());
  } catch (const std::exception& error) {
    Fail("an exception other than DescriptionError", error.what());
  }
  return false;
}

void RoundTrip(std::string_view text) {
  kelmorrow::Model model;
  if (!Loads(text, [&](std::string_view t) { model = kelmorrow::LoadDescription(t, kSource); })) return;

  bool exact = true;
  const std::string written = kelmorrow::WriteDescription(model, exact);
  kelmorrow::Model again;
  try {
    again = kelmorrow::LoadDescription(written, "written.json");
  } catch (const std::exception& error) {
    Fail("a written description does not load", std::string(error.what()) + "\n" + written);
  }
  bool exact_again = true;
  const std::string rewritten = kelmorrow::WriteDescription(again, exact_again);
  if (exact && rewritten != written) Fail("a written description does not write back the same", written + rewritten);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A block of exactly the input's bytes, without terminator, so that ASan sees any read past it.
  std::unique_ptr<char[]> block(new char[size == 0 ? 1 : size]);
  if (size > 0) std::memcpy(block.get(), data, size);
  const std::string_view text(block.get(), size);
  RoundTrip(text);
  Loads(text, [](std::string_view t) { kelmorrow::LoadChange(t, kSource); });
  return 0;
}
