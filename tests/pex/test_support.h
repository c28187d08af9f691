#pragma once
#include <gtest/gtest.h>

#include "wide_text.h"

namespace kel {
namespace pex {
namespace test {

using test_support::Wide;

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
