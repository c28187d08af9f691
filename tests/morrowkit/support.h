#pragma once
#include <gtest/gtest.h>

#include <string>

#include "morrowkit/hresult_exception.h"
#include "platform/wide.h"
#include "wide_text.h"

namespace morrowkit::test {

using test_support::Wide;

inline std::string Location(const char* file, int line) {
  return std::string("{\"file\":\"") + file + "\",\"line\":" + std::to_string(line) +
         ",\"component\":\"kronel_ztprovider\"}";
}

// Code, JSON and message of the HResultException (or derived E) that f throws.
struct Thrown {
  bool thrown = false;
  HRESULT code = 0;
  std::string json;
  std::string message;
};

template <class E = HResultException, class F>
Thrown Catch(F f) {
  Thrown result;
  try {
    f();
  } catch (const E& e) {
    result.thrown = true;
    result.code = e.Code();
    result.json = e.GetErrorJson() != nullptr ? e.GetErrorJson() : "(null)";
    result.message = e.what();
  }
  return result;
}

}  // namespace morrowkit::test
