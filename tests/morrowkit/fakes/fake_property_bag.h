#pragma once
#include <cstdint>
#include <map>

#include "counted.h"
#include "platform/ole.h"

namespace morrowkit::test {

// A record whose values and results the test sets; counts every read.
class FakePropertyBag : public Counted<IqvSysPropertyBag> {
 public:
  FakePropertyBag() : Counted({kIID_IqvSysPropertyBag}) {}

  HRESULT HasProperty(std::uint32_t tag) override {
    ++calls;
    last_tag = tag;
    return has_result;
  }
  HRESULT GetInt32(std::uint32_t tag, std::int32_t* value) override {
    ++calls;
    last_tag = tag;
    *value = static_cast<std::int32_t>(number);
    return read_result;
  }
  HRESULT GetUInt32(std::uint32_t tag, std::uint32_t* value) override {
    ++calls;
    last_tag = tag;
    *value = number;
    return read_result;
  }
  HRESULT GetString(std::uint32_t tag, BSTR* value) override {
    ++calls;
    last_tag = tag;
    // Handed out whatever the result, so a holder that forgets to free leaks.
    *value = platform::SysAllocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
    return read_result;
  }

  HRESULT has_result = platform::kS_OK;
  HRESULT read_result = platform::kS_OK;
  std::uint32_t number = 0;
  platform::WideString text;
  int calls = 0;
  std::uint32_t last_tag = 0;

  HRESULT GetCount(std::uint32_t*) override { return kE_NOTIMPL; }
  HRESULT GetType(std::uint32_t, std::uint32_t*) override { return kE_NOTIMPL; }
  HRESULT GetTagAt(std::uint32_t, std::uint32_t*) override { return kE_NOTIMPL; }
  HRESULT Remove(std::uint32_t) override { return kE_NOTIMPL; }
  HRESULT GetBool(std::uint32_t, std::int32_t*) override { return kE_NOTIMPL; }
  HRESULT SetBool(std::uint32_t, std::int32_t) override { return kE_NOTIMPL; }
  HRESULT GetInt16(std::uint32_t, std::int16_t*) override { return kE_NOTIMPL; }
  HRESULT SetInt16(std::uint32_t, std::int16_t) override { return kE_NOTIMPL; }
  HRESULT GetUInt16(std::uint32_t, std::uint16_t*) override { return kE_NOTIMPL; }
  HRESULT SetUInt16(std::uint32_t, std::uint16_t) override { return kE_NOTIMPL; }
  HRESULT GetInt64(std::uint32_t, std::int64_t*) override { return kE_NOTIMPL; }
  HRESULT SetInt64(std::uint32_t, std::int64_t) override { return kE_NOTIMPL; }
  HRESULT SetInt32(std::uint32_t, std::int32_t) override { return kE_NOTIMPL; }
  HRESULT SetUInt32(std::uint32_t, std::uint32_t) override { return kE_NOTIMPL; }
  HRESULT SetString(std::uint32_t, const WideChar*) override { return kE_NOTIMPL; }
  HRESULT GetDouble(std::uint32_t, double*) override { return kE_NOTIMPL; }
  HRESULT SetDouble(std::uint32_t, double) override { return kE_NOTIMPL; }
};

}  // namespace morrowkit::test
