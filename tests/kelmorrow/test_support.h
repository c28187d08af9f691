#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kelsim.h"
#include "morrowkit/com_ptr.h"
#include "morrowkit/interfaces.h"
#include "platform/ole.h"
#include "sim_library.h"
#include "wait_for.h"
#include "wide_text.h"

namespace kelmorrow_test {

using morrowkit::ComPtr;
using platform::WideString;

using test_support::WaitFor;
using test_support::Wide;
using test_support::kelsim::Load;
using test_support::kelsim::SetProfile;

// Takes ownership of a BSTR and frees it.
WideString Take(BSTR text);
std::string Utf8(const WideString& text);

constexpr HRESULT kE_ElementNotFound = static_cast<HRESULT>(0x80070490u);
constexpr HRESULT kE_NotImpl = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT kRpcE_Disconnected = static_cast<HRESULT>(0x80010108u);
constexpr HRESULT kRpcS_ServerUnavailable = static_cast<HRESULT>(0x800706BAu);
constexpr HRESULT kE_AccessDenied = static_cast<HRESULT>(0x80070005u);

// Every test starts from a reset library and must leave no object alive.
class KelmorrowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The message of a rejected description.
  static std::string Rejection(const char* json, const char* source = "hw.json");

  static ComPtr<morrowkit::IqvSysFramework> Framework();
  static std::vector<ComPtr<morrowkit::IUnknown>> Items(morrowkit::IqvSysEnumUnknown* records);
  // The target's records as property bags (records that refuse the bag are left out).
  static std::vector<ComPtr<morrowkit::IqvSysPropertyBag>> Records(const char16_t* target = u"");
  static ComPtr<morrowkit::IqvSysPropertyBag> Record(const char* properties);
};

// A library profile for parameterised tests.
struct ProfileCase {
  const char* name;
  const char* json;
};
std::string ProfileName(const ::testing::TestParamInfo<ProfileCase>& info);

// A client's notification handler: records every call and every release,
// and can hold a call until released.
class RecordingHandler : public morrowkit::IqvSysNotificationHandler {
 public:
  struct Call {
    void* context;
    std::uint32_t kind;
    std::vector<WideString> names;
    std::thread::id thread;
  };
  struct Released {
    std::thread::id thread;
    std::chrono::steady_clock::time_point time;
  };

  HRESULT QueryInterface(const morrowkit::Iid& iid, void** object) override;
  std::uint32_t AddRef() override { return ++refs_; }
  std::uint32_t Release() override;
  HRESULT OnConfigurationChanged(void* context, std::uint32_t kind, morrowkit::IqvSysEnumString* names) override;

  int refs() const { return refs_; }
  std::vector<Call> calls();
  std::vector<Released> releases();
  bool WaitForCalls(std::size_t count);

  // Calls block until Open(); Entered() waits until one is blocked.
  void Hold();
  bool Entered();
  void Open();

  // Runs inside each call, after the names are read.
  std::function<void()> during;

 private:
  std::atomic<int> refs_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Call> calls_;
  std::vector<Released> releases_;
  bool held_ = false;
  int inside_ = 0;
};

}  // namespace kelmorrow_test
