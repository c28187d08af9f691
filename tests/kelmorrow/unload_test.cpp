#include <chrono>
#include <future>
#include <utility>

#include "platform/module.h"
#include "test_support.h"

namespace kelmorrow_test {
namespace {

// A copy of the library that nothing else holds, so that FreeLibrary unloads
// it. A full path: under a sanitizer the search would not start beside the
// test.
class LoadedCopy {
 public:
  LoadedCopy() : module_(platform::LoadLibraryA(KELMORROW_BIN "/kelmorrow_unload.dll")) {}
  ~LoadedCopy() { Unload(); }
  LoadedCopy(const LoadedCopy&) = delete;
  LoadedCopy& operator=(const LoadedCopy&) = delete;

  bool loaded() const { return module_ != nullptr; }
  bool Unload() {
    platform::ModuleHandle module = std::exchange(module_, nullptr);
    return module != nullptr && platform::FreeLibrary(module);
  }

  template <class Function>
  Function* Get(const char* name) {
    return reinterpret_cast<Function*>(platform::GetProcAddress(module_, name));
  }

  void SetProfile(const char* json) {
    char error[256];
    auto* set = Get<decltype(kelsimSetProfile)>("kelsimSetProfile");
    ASSERT_NE(set, nullptr);
    ASSERT_EQ(set(json, error, sizeof error), 0) << error;
  }

  // Registers the handler for "rt" (or removes the registration) and, when
  // asked, has one change delivered, which starts the copy's delivery thread.
  void Register(RecordingHandler* handler, bool deliver) {
    auto* instantiate = Get<decltype(kelsysInstantiateFramework2)>("kelsysInstantiateFramework2");
    ASSERT_NE(instantiate, nullptr);
    ComPtr<morrowkit::IqvSysFramework> framework;
    ASSERT_EQ(instantiate(1, 1, framework.Put()), 0);
    ASSERT_EQ(framework->SetNotificationHandler(Wide(u"rt").c_str(), handler, handler), 0);
    if (!deliver) return;
    ApplyChange(R"({"add": [{"status": 1}]})");
    ASSERT_TRUE(handler->WaitForCalls(1));
  }

  // A change of "rt", through the copy's own control function.
  void ApplyChange(const char* change) {
    char error[256];
    auto* apply = Get<decltype(kelsimApplyChange)>("kelsimApplyChange");
    ASSERT_NE(apply, nullptr);
    ASSERT_EQ(apply("rt", change, nullptr, error, sizeof error), 0) << error;
  }

 private:
  platform::ModuleHandle module_;
};

// Unloading works in every state the delivery thread can be in, and lets go
// of the handlers.
TEST(KelmorrowUnload, ReleasesHandlersWhenNoThreadWasStarted) {
  RecordingHandler handler;
  LoadedCopy copy;
  ASSERT_TRUE(copy.loaded());
  copy.Register(&handler, false);
  EXPECT_EQ(handler.refs(), 1);
  EXPECT_TRUE(copy.Unload());
  EXPECT_EQ(handler.refs(), 0);
}

TEST(KelmorrowUnload, UnloadsAfterShutdownEndedTheDeliveryThread) {
  RecordingHandler handler;
  LoadedCopy copy;
  ASSERT_TRUE(copy.loaded());
  copy.Register(&handler, true);
  copy.Get<decltype(kelsimShutdown)>("kelsimShutdown")();
  EXPECT_EQ(handler.refs(), 0);
  EXPECT_TRUE(copy.Unload());
}

TEST(KelmorrowUnload, UnloadsRightAfterADelivery) {
  RecordingHandler handler;
  LoadedCopy copy;
  ASSERT_TRUE(copy.loaded());
  copy.Register(&handler, true);
  ASSERT_EQ(copy.Get<decltype(kelsimWaitIdle)>("kelsimWaitIdle")(10000), 1);
  EXPECT_TRUE(copy.Unload());
  EXPECT_EQ(handler.refs(), 0);
  EXPECT_EQ(handler.calls().size(), 1u);
}

TEST(KelmorrowUnload, UnloadsRightAfterAChangeIsQueued) {
  RecordingHandler handler;
  LoadedCopy copy;
  ASSERT_TRUE(copy.loaded());
  copy.Register(&handler, false);
  copy.ApplyChange(R"({"add": []})");
  EXPECT_TRUE(copy.Unload());
  EXPECT_EQ(handler.refs(), 0);
  EXPECT_LE(handler.calls().size(), 1u);
}

TEST(KelmorrowUnload, UnloadLetsARunningCallbackEnd) {
  RecordingHandler handler;
  LoadedCopy copy;
  ASSERT_TRUE(copy.loaded());
  handler.Hold();
  copy.Register(&handler, false);
  copy.ApplyChange(R"({"add": []})");
  ASSERT_TRUE(handler.Entered());
  auto unload = std::async(std::launch::async, [&] { return copy.Unload(); });
  EXPECT_EQ(unload.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  handler.Open();
  EXPECT_TRUE(unload.get());
  EXPECT_EQ(handler.calls().size(), 1u);
  EXPECT_EQ(handler.refs(), 0);
}

// The library's reference on a removed handler, still pending, goes at
// unloading, which does not wait for its time.
TEST(KelmorrowUnload, UnloadMakesAPendingLateRelease) {
  RecordingHandler handler;
  LoadedCopy copy;
  ASSERT_TRUE(copy.loaded());
  copy.SetProfile(R"({"late-release-ms": 600000})");
  copy.Register(&handler, true);
  copy.Register(nullptr, false);
  EXPECT_EQ(handler.refs(), 1);
  auto unload = std::async(std::launch::async, [&] { return copy.Unload(); });
  ASSERT_EQ(unload.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_TRUE(unload.get());
  EXPECT_EQ(handler.refs(), 0);
}

// The releasing thread may be on its way out when the library goes.
TEST(KelmorrowUnload, UnloadsRightAfterALateRelease) {
  RecordingHandler handler;
  LoadedCopy copy;
  ASSERT_TRUE(copy.loaded());
  copy.SetProfile(R"({"late-release-ms": 1, "delivery": "inline"})");
  copy.Register(&handler, true);
  copy.Register(nullptr, false);
  ASSERT_TRUE(WaitFor([&] { return handler.refs() == 0; }));
  EXPECT_TRUE(copy.Unload());
  EXPECT_EQ(handler.calls().size(), 2u);
}

}  // namespace
}  // namespace kelmorrow_test
