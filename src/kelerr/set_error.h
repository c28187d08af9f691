#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "kelerr/error_status.h"

namespace kelerr {

// One member of an error record's object: a key with a string or an integer.
struct Member {
  Member(const char* key, std::string_view text) noexcept : key(key), text(text) {}
  // A null text counts as empty.
  Member(const char* key, const char* text) noexcept
      : key(key), text(text != nullptr ? std::string_view(text) : std::string_view()) {}
  Member(const char* key, std::int32_t number) noexcept : key(key), is_number(true), number(number) {}

  const char* key;
  bool is_number = false;
  std::string_view text;
  std::int32_t number = 0;
};

// Records an error or warning with the members in order. A record that holds
// an error already keeps it; a warning's members are dropped. Members that
// get no memory are left out, and a member without key ends the list.
void SetError(ErrorStatus& record, std::int32_t code, const Member* members, std::size_t count) noexcept;
void SetError(ErrorStatus& record, std::int32_t code, std::initializer_list<Member> members) noexcept;

}  // namespace kelerr
