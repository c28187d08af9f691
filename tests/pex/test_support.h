#pragma once
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "platform/wide.h"

namespace kel {
namespace pex {
namespace test {

inline platform::WideString Wide(std::initializer_list<unsigned> units) {
  platform::WideString text;
  for (unsigned unit : units) text.push_back(static_cast<platform::WideChar>(unit));
  return text;
}

// The exception of type E that f throws; fails the test if f throws nothing.
template <typename E, typename F>
E Raised(F f) {
  try {
    f();
  } catch (const E& e) {
    return e;
  }
  ADD_FAILURE() << "nothing was thrown";
  return E();
}

}  // namespace test
}  // namespace pex
}  // namespace kel
