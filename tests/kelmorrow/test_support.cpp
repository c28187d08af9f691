#include "test_support.h"

#include <chrono>

#include "json_reader.h"

namespace kelmorrow_test {

WideString Take(BSTR text) {
  WideString out(text == nullptr ? WideString() : WideString(text, platform::SysStringLen(text)));
  platform::SysFreeString(text);
  return out;
}

std::string Utf8(const WideString& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t code = static_cast<std::uint16_t>(text[i]);
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size()) {
      code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<std::uint16_t>(text[++i]) - 0xDC00);
    }
    kelmorrow::json::AppendUtf8(out, code);
  }
  return out;
}

void KelmorrowTest::SetUp() {
  kelsimReset();
  ASSERT_EQ(kelsimLiveObjects(), 0u) << "an earlier test left objects alive";
}

void KelmorrowTest::TearDown() {
  kelsimReset();
  test_support::kelsim::ExpectQuiet();
}

std::string ProfileName(const ::testing::TestParamInfo<ProfileCase>& info) { return info.param.name; }

std::string KelmorrowTest::Rejection(const char* json, const char* source) {
  char error[512] = "not rejected";
  EXPECT_EQ(kelsimLoadText(json, source, error, sizeof error), -1);
  return error;
}

ComPtr<morrowkit::IqvSysFramework> KelmorrowTest::Framework() {
  ComPtr<morrowkit::IqvSysFramework> framework;
  EXPECT_EQ(kelsysInstantiateFramework2(1, 1, framework.Put()), 0);
  return framework;
}

std::vector<ComPtr<morrowkit::IUnknown>> KelmorrowTest::Items(morrowkit::IqvSysEnumUnknown* records) {
  std::vector<ComPtr<morrowkit::IUnknown>> items;
  morrowkit::IUnknown* item = nullptr;
  while (records->Next(1, &item, nullptr) == platform::kS_OK) {
    items.push_back(ComPtr<morrowkit::IUnknown>::Attach(item));
  }
  return items;
}

std::vector<ComPtr<morrowkit::IqvSysPropertyBag>> KelmorrowTest::Records(const char16_t* target) {
  ComPtr<morrowkit::IqvSysEnumUnknown> records;
  EXPECT_EQ(Framework()->FindHardware(Wide(target).c_str(), records.Put()), 0);
  std::vector<ComPtr<morrowkit::IqvSysPropertyBag>> bags;
  if (!records) return bags;
  for (auto& item : Items(records.Get())) {
    ComPtr<morrowkit::IqvSysPropertyBag> bag;
    if (item->QueryInterface(morrowkit::kIID_IqvSysPropertyBag, reinterpret_cast<void**>(bag.Put())) == 0) {
      bags.push_back(bag);
    }
  }
  return bags;
}

ComPtr<morrowkit::IqvSysPropertyBag> KelmorrowTest::Record(const char* properties) {
  Load((std::string(R"({"targets": {"": {"records": [)") + properties + "]}}}").c_str());
  auto records = Records();
  EXPECT_EQ(records.size(), 1u);
  return records.empty() ? ComPtr<morrowkit::IqvSysPropertyBag>() : records.front();
}

HRESULT RecordingHandler::QueryInterface(const morrowkit::Iid& iid, void** object) {
  if (iid == morrowkit::kIID_IUnknown || iid == morrowkit::kIID_IqvSysNotificationHandler) {
    AddRef();
    *object = this;
    return platform::kS_OK;
  }
  *object = nullptr;
  return platform::kE_NOINTERFACE;
}

HRESULT RecordingHandler::OnConfigurationChanged(void* context, std::uint32_t kind,
                                                 morrowkit::IqvSysEnumString* names) {
  Call call{context, kind, {}, std::this_thread::get_id()};
  BSTR name = nullptr;
  std::uint32_t fetched = 0;
  while (names->Next(1, &name, &fetched) == platform::kS_OK) call.names.push_back(Take(name));
  if (during) during();
  std::unique_lock<std::mutex> lock(mutex_);
  ++inside_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return !held_; });
  --inside_;
  calls_.push_back(std::move(call));
  changed_.notify_all();
  return platform::kS_OK;
}

std::uint32_t RecordingHandler::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    releases_.push_back({std::this_thread::get_id(), std::chrono::steady_clock::now()});
  }
  return --refs_;
}

std::vector<RecordingHandler::Released> RecordingHandler::releases() {
  std::lock_guard<std::mutex> lock(mutex_);
  return releases_;
}

std::vector<RecordingHandler::Call> RecordingHandler::calls() {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

bool RecordingHandler::WaitForCalls(std::size_t count) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return calls_.size() >= count; });
}

void RecordingHandler::Hold() {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ = true;
}

bool RecordingHandler::Entered() {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return inside_ > 0; });
}

void RecordingHandler::Open() {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ = false;
  changed_.notify_all();
}

}  // namespace kelmorrow_test
