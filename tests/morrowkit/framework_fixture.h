#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "fakes/fake_entry_point.h"
#include "fakes/fake_framework.h"
#include "morrowkit/framework/framework_handle.h"

namespace morrowkit::test {

// A handle connected to a fake library; every reference must be back when
// the handle and the library are gone.
class FrameworkFixture : public ::testing::Test {
 protected:
  using Handle = FrameworkHandle<PropertyBagHandle>;

  void SetUp() override {
    entry_point = EntryPoint();
    entry_point.framework = &framework_;
    handle_ = std::make_unique<Handle>(true, true);
  }
  void TearDown() override {
    handle_.reset();
    framework_.kept_handler.Reset();
    EXPECT_EQ(framework_.references, 0u);
    entry_point = EntryPoint();
  }

  FakeFramework framework_;
  std::unique_ptr<Handle> handle_;
};

}  // namespace morrowkit::test
