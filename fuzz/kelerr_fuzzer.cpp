// The error records' JSON text: the scanner against nlohmann-json on the raw
// input, then a chain of appends, insertions in front, restarts and
// SetErrors driven by the input, with growth sometimes refused. After every
// step the buffer keeps its layout, the text scans, and nlohmann reads back
// exactly the members written, in their order.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "kelerr/error_status.h"
#include "kelerr/json_append.h"
#include "kelerr/json_scanner.h"
#include "kelerr/set_error.h"

namespace {

using kelerr::ErrorStatus;

[[noreturn]] void Fail(const char* what, const char* text = nullptr) {
  std::fprintf(stderr, "kelerr fuzzer: %s\n", what);
  if (text != nullptr) std::fprintf(stderr, "text: %s\n", text);
  std::abort();
}

void Check(bool condition, const char* what, const char* text = nullptr) {
  if (!condition) Fail(what, text);
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Nesting of a text nlohmann accepted, so strings can be skipped simply.
int Depth(const std::string& text) {
  int depth = 0, deepest = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') ++i;
      else if (c == '"') in_string = false;
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      deepest = std::max(deepest, ++depth);
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return deepest;
}

// Every text JSON accepts, that starts with a bracket, holds no DEL (which the
// records always escape) and nests at most 256 deep, scans, and the scan ends
// at its last bracket. Whatever scans ends with a bracket and whitespace.
void FuzzScanner(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
  std::unique_ptr<char[]> block(new char[text.size() + 1]);
  std::memcpy(block.get(), text.c_str(), text.size() + 1);
  const char* found = kelerr::FindAppendPoint(block.get());

  if (found != nullptr) {
    Check(text[0] == '{' || text[0] == '[', "a text without a leading bracket scanned");
    Check(*found == '}' || *found == ']', "the scan did not end at a bracket");
    for (const char* p = found + 1; *p != '\0'; ++p) Check(IsSpace(*p), "the scan ended before the text");
  }
  if (text.empty() || (text[0] != '{' && text[0] != '[')) return;
  if (text.find('\x7F') != std::string::npos || !nlohmann::json::accept(text) || Depth(text) > 256) return;
  Check(found != nullptr, "valid JSON did not scan", text.c_str());
  std::size_t last = text.size() - 1;
  while (IsSpace(text[last])) --last;
  Check(found == block.get() + last, "the scan ended at the wrong bracket", text.c_str());
}

// Growth can be refused, as when memory runs out.
bool g_allowGrowth = true;

bool FuzzResize(ErrorStatus* record, std::uint32_t capacity) {
  if (capacity != 0 && capacity > record->capacity && !g_allowGrowth) return false;
  return kelerr::ResizeJsonBuffer(record, capacity);
}

struct OwnedRecord : ErrorStatus {
  OwnedRecord() { resize = FuzzResize; }
  ~OwnedRecord() { Clear(); }
};

struct Expected {
  bool keyed = false;
  std::string key;
  bool is_number = false;
  std::string text;
  std::int64_t number = 0;
  bool operator==(const Expected& other) const {
    return keyed == other.keyed && key == other.key && is_number == other.is_number && text == other.text &&
           number == other.number;
  }
};

// The members of the top-level container, in the order they stand.
class Members : public nlohmann::json_sax<nlohmann::json> {
 public:
  std::vector<Expected> found;
  bool nested = false;

  bool null() override { return Other(); }
  bool boolean(bool) override { return Other(); }
  bool number_integer(number_integer_t value) override { return Number(value); }
  bool number_unsigned(number_unsigned_t value) override {
    return value <= 0x7FFFFFFFu ? Number(static_cast<std::int64_t>(value)) : Other();
  }
  bool number_float(number_float_t, const string_t&) override { return Other(); }
  bool string(string_t& value) override {
    Expected& member = Next();
    member.text = value;
    return true;
  }
  bool binary(binary_t&) override { return Other(); }
  bool start_object(std::size_t) override { return Open(); }
  bool key(string_t& value) override {
    pending_key_ = value;
    has_key_ = true;
    return true;
  }
  bool end_object() override { return true; }
  bool start_array(std::size_t) override { return Open(); }
  bool end_array() override { return true; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

 private:
  bool Other() {
    nested = true;
    return true;
  }
  bool Open() {
    if (opened_) nested = true;
    opened_ = true;
    return true;
  }
  bool Number(std::int64_t value) {
    Expected& member = Next();
    member.is_number = true;
    member.number = value;
    return true;
  }
  Expected& Next() {
    found.emplace_back();
    Expected& member = found.back();
    member.keyed = has_key_;
    member.key = pending_key_;
    has_key_ = false;
    pending_key_.clear();
    return member;
  }
  bool opened_ = false;
  bool has_key_ = false;
  std::string pending_key_;
};

void CheckRecord(const ErrorStatus& record, const std::vector<Expected>& expected) {
  Check(record.json != nullptr && record.capacity >= 4, "the record lost its buffer");
  const std::size_t length = strnlen(record.json, record.capacity);
  Check(length + 2 <= record.capacity, "the text reaches the marker");
  for (std::size_t i = length; i + 1 < record.capacity; ++i) Check(record.json[i] == '\0', "a byte after the text");
  Check(record.json[record.capacity - 1] == kelerr::kJsonMarker, "the marker is gone");

  const char* closing = kelerr::FindAppendPoint(record.json);
  Check(closing == record.json + length - 1, "the text does not scan to its end", record.json);
  Members members;
  Check(nlohmann::json::sax_parse(std::string(record.json, length), &members), "nlohmann rejects the text",
        record.json);
  Check(!members.nested, "a member that was never appended", record.json);
  Check(members.found == expected, "the members differ from those appended", record.json);
}

// Valid UTF-8 whatever the input, so nlohmann can read it back: bytes from
// 0x80 become U+0080..U+00FF. Keys are C strings and lose their zero bytes.
std::string Text(FuzzedDataProvider& input, std::size_t longest, bool key) {
  const std::string raw = input.ConsumeRandomLengthString(longest);
  std::string out;
  for (unsigned char b : raw) {
    if (b >= 0x80) {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    } else {
      out += key && b == 0 ? '\x01' : static_cast<char>(b);
    }
  }
  return out;
}

void FuzzAppends(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool array = input.ConsumeIntegralInRange(0, 3) == 0;
  OwnedRecord record;
  g_allowGrowth = true;
  kelerr::SetError(record, 0, {});
  if (array) kelerr::InitialiseJsonBuffer(record.json, record.capacity, "[]", 2);
  CheckRecord(record, {});

  std::vector<Expected> members;
  std::size_t cursor = 0;  // where the chain inserts next
  char* position = kelerr::FindAppendPoint(record.json);

  for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
    const int op = input.ConsumeIntegralInRange(0, 5);
    g_allowGrowth = input.ConsumeIntegralInRange(0, 7) != 0;
    const bool grow = input.ConsumeIntegralInRange(0, 7) != 0;

    if (op == 3) {
      position = kelerr::FindAppendPoint(record.json);
      cursor = members.size();
    } else if (op == 4 && !array) {
      // SetError: a record holding an error keeps it; otherwise its members
      // are replaced by those of this call, as far as memory allows.
      static const std::int32_t kCodes[] = {1, 0, -52004};
      const std::int32_t code = kCodes[input.ConsumeIntegralInRange(0, 2)];
      const int count = input.ConsumeIntegralInRange(0, 4);
      std::vector<std::string> keys, texts;
      std::vector<Expected> wanted;
      for (int i = 0; i < count; ++i) {
        Expected member;
        member.keyed = true;
        member.key = Text(input, 24, true);
        member.is_number = input.ConsumeBool();
        if (member.is_number) member.number = input.ConsumeIntegral<std::int32_t>();
        else member.text = Text(input, 700, false);
        wanted.push_back(member);
      }
      std::vector<kelerr::Member> list;
      for (const Expected& member : wanted) {
        if (member.is_number) list.emplace_back(member.key.c_str(), static_cast<std::int32_t>(member.number));
        else list.emplace_back(member.key.c_str(), std::string_view(member.text));
      }
      const std::int32_t before = record.code;
      const std::string old_text = record.json;
      kelerr::SetError(record, code, list.data(), list.size());
      if (before < 0) {
        Check(record.code == before && old_text == record.json, "a later SetError replaced the first error");
      } else {
        Check(record.code == code, "SetError did not set the code");
        Members got;
        Check(nlohmann::json::sax_parse(std::string(record.json), &got), "nlohmann rejects the text", record.json);
        Check(got.found.size() <= wanted.size() &&
                  std::equal(got.found.begin(), got.found.end(), wanted.begin()),
              "SetError wrote other members than asked", record.json);
        if (g_allowGrowth) Check(got.found.size() == wanted.size(), "SetError left members out", record.json);
        members = got.found;
      }
      position = kelerr::FindAppendPoint(record.json);
      cursor = members.size();
    } else {
      Expected member;
      member.keyed = !array;
      if (member.keyed) member.key = Text(input, 24, true);
      member.is_number = input.ConsumeBool();
      if (member.is_number) member.number = input.ConsumeIntegral<std::int32_t>();
      else member.text = Text(input, 700, false);

      char* at = position;
      std::size_t where = cursor;
      if (op == 2) {
        at = record.json;
        where = 0;
      } else if (op == 5) {
        at = nullptr;
      }
      const kelerr::GrowHandler handler = grow ? kelerr::GrowRecord(record) : kelerr::GrowHandler{};
      const char* key = member.keyed ? member.key.c_str() : nullptr;
      const std::string old_text = record.json;
      char* next = member.is_number
                       ? kelerr::AppendInt(at, key, static_cast<std::int32_t>(member.number), handler)
                       : kelerr::AppendString(at, key, member.text, handler);
      if (next == nullptr) {
        Check(old_text == record.json, "a failed append changed the text", record.json);
        Check(at == nullptr || !grow || !g_allowGrowth, "an append failed although the buffer could grow");
      } else {
        Check(at != nullptr, "an append without position wrote something");
        members.insert(members.begin() + static_cast<std::ptrdiff_t>(where), member);
        cursor = where + 1;
        Check(*next == (cursor < members.size() ? ',' : array ? ']' : '}'), "the append returned a wrong position",
              record.json);
      }
      position = next;
    }
    CheckRecord(record, members);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzScanner(data, size);
  FuzzAppends(data, size);
  return 0;
}
