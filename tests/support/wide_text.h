#pragma once
#include <initializer_list>

#include "platform/wide.h"

namespace test_support {

// UTF-16 text from a u"" literal, whatever the platform's wide type.
inline platform::WideString Wide(const char16_t* text) {
  platform::WideString wide;
  for (; *text != 0; ++text) wide.push_back(static_cast<platform::WideChar>(*text));
  return wide;
}

// UTF-16 text unit by unit, unpaired surrogates included.
inline platform::WideString Wide(std::initializer_list<unsigned> units) {
  platform::WideString wide;
  for (unsigned unit : units) wide.push_back(static_cast<platform::WideChar>(unit));
  return wide;
}

}  // namespace test_support
