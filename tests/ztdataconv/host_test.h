#pragma once
#include <gtest/gtest.h>

#include <string>

#include "hostbind/host_runtime.h"
#include "ztrtsim.h"

namespace ztdataconv {

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { ztrtsimReset(); }
  void TearDown() override { ztrtsimReset(); }

  static std::string Bytes(hostbind::LStrHandle handle) {
    return std::string(reinterpret_cast<const char*>((*handle)->str), static_cast<std::size_t>((*handle)->cnt));
  }
  static int64_t Calls(int function) { return ztrtsimCallCount(function); }
};

}  // namespace ztdataconv
