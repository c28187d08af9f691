#pragma once
#include <gtest/gtest.h>

#include <cstdint>

#include "counted.h"
#include "morrowkit/com_ptr.h"
#include "platform/ole.h"

namespace morrowkit::test {

// FindHardware and SetNotificationHandler record what they were given and
// answer `result`; SetNotificationHandler keeps the handler as the library
// would. The other operations are not called through fakes.
class FakeFramework : public Counted<IqvSysFramework> {
 public:
  FakeFramework() : Counted({kIID_IqvSysFramework}) {}
  ~FakeFramework() { kept_handler.Reset(); }

  HRESULT FindHardware(const WideChar* target, IqvSysEnumUnknown** records) override {
    ++calls;
    last_target = target;
    *records = out_records;
    if (out_records != nullptr) out_records->AddRef();
    return result;
  }
  HRESULT SetNotificationHandler(const WideChar* target, IqvSysNotificationHandler* handler,
                                 void* context) override {
    ++calls;
    last_target = target;
    last_handler = handler;
    last_context = context;
    if (result >= 0) {
      kept_handler = ComPtr<IqvSysNotificationHandler>(handler);
      kept_context = context;
    }
    return result;
  }

  HRESULT result = platform::kS_OK;
  IqvSysEnumUnknown* out_records = nullptr;
  int calls = 0;
  platform::WideString last_target;
  IqvSysNotificationHandler* last_handler = nullptr;
  void* last_context = nullptr;
  ComPtr<IqvSysNotificationHandler> kept_handler;
  void* kept_context = nullptr;

  HRESULT FindHardwareByModel(const WideChar*, std::uint32_t, void*, IqvSysEnumUnknown**) override { return No(); }
  HRESULT GetSourceNames(const WideChar*, IqvSysEnumString**) override { return No(); }
  HRESULT FindHardwareByName(const WideChar*, IqvSysPropertyBag**) override { return No(); }
  HRESULT GetComponents(const WideChar*, IqvSysEnumUnknown**) override { return No(); }
  HRESULT SelectProperties(IqvSysPropertyBag*, const std::uint32_t*, std::uint32_t, std::int32_t) override {
    return No();
  }
  HRESULT GetLocalSystem(IqvSysPropertyBag**) override { return No(); }
  HRESULT RefreshTarget(const WideChar*, std::uint32_t) override { return No(); }
  HRESULT SaveConfiguration() override { return No(); }
  HRESULT ResolveAlias(const WideChar*, const WideChar*, std::uint32_t, std::int32_t*, BSTR*, BSTR*) override {
    return No();
  }
  HRESULT ValidateRecord(IqvSysPropertyBag*, std::int32_t, std::int32_t*, BSTR*, BSTR*) override { return No(); }
  HRESULT SetAlias(const WideChar*, const WideChar*, const WideChar*) override { return No(); }
  HRESULT FormatProperty(IqvSysPropertyBag*, std::uint32_t, BSTR*) override { return No(); }
  HRESULT SetTargetEnabled(const WideChar*, std::int32_t) override { return No(); }
  HRESULT Reserved18() override { return No(); }
  HRESULT Reserved19() override { return No(); }
  HRESULT Reserved20() override { return No(); }
  HRESULT Reserved21() override { return No(); }
  HRESULT DescribeTarget(const WideChar*, std::int32_t, std::uint32_t, BSTR*) override { return No(); }
  HRESULT AddTarget(const WideChar*, const WideChar*, const WideChar*, std::int32_t, void*) override { return No(); }
  HRESULT UpdateTarget(const WideChar*, const WideChar*, const WideChar*, std::int32_t) override { return No(); }
  HRESULT RenameTarget(const WideChar*, const WideChar*) override { return No(); }
  HRESULT ReserveResource(const WideChar*, std::uint32_t, std::int32_t*, BSTR*, BSTR*) override { return No(); }
  HRESULT SetTraceLevel(std::int32_t, std::uint32_t) override { return No(); }

 private:
  HRESULT No() {
    ADD_FAILURE() << "unexpected call into the fake library";
    return kE_NOTIMPL;
  }
};

}  // namespace morrowkit::test
