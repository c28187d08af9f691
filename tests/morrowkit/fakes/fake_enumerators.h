#pragma once
#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <vector>

#include "counted.h"
#include "platform/ole.h"

namespace morrowkit::test {

// Hands out the items one by one, then answers end_result.
class FakeRecordEnum : public Counted<IqvSysEnumUnknown> {
 public:
  explicit FakeRecordEnum(std::vector<IUnknown*> items) : Counted({kIID_IqvSysEnumUnknown}), items_(items) {}

  HRESULT Next(std::uint32_t count, IUnknown** items, std::uint32_t* fetched) override {
    ++next_calls;
    if (count != 1) return platform::kE_INVALIDARG;
    if (position_ == items_.size()) return end_result;
    *items = items_[position_++];
    (*items)->AddRef();
    *fetched = 1;
    return platform::kS_OK;
  }
  HRESULT Skip(std::uint32_t) override { return kE_NOTIMPL; }
  HRESULT Reset() override { return kE_NOTIMPL; }
  HRESULT Clone(IqvSysEnumUnknown**) override { return kE_NOTIMPL; }

  HRESULT end_result = platform::kS_FALSE;
  int next_calls = 0;

 private:
  std::vector<IUnknown*> items_;
  std::size_t position_ = 0;
};

// Hands out each text as a new BSTR (nullopt as a null BSTR), then S_FALSE.
class FakeStringEnum : public Counted<IqvSysEnumString> {
 public:
  explicit FakeStringEnum(std::vector<std::optional<platform::WideString>> texts)
      : Counted({kIID_IqvSysEnumString}), texts_(std::move(texts)) {}

  HRESULT Next(std::uint32_t count, BSTR* items, std::uint32_t* fetched) override {
    if (count != 1) return platform::kE_INVALIDARG;
    if (out_of_memory) throw std::bad_alloc();
    if (position_ == texts_.size()) return end_result;
    const std::optional<platform::WideString>& text = texts_[position_++];
    *items = text ? platform::SysAllocStringLen(text->data(), static_cast<std::uint32_t>(text->size())) : nullptr;
    *fetched = 1;
    return platform::kS_OK;
  }
  HRESULT Skip(std::uint32_t) override { return kE_NOTIMPL; }
  HRESULT Reset() override { return kE_NOTIMPL; }
  HRESULT Clone(IqvSysEnumString**) override { return kE_NOTIMPL; }

  HRESULT end_result = platform::kS_FALSE;
  bool out_of_memory = false;  // as a conversion that cannot allocate

 private:
  std::vector<std::optional<platform::WideString>> texts_;
  std::size_t position_ = 0;
};

}  // namespace morrowkit::test
