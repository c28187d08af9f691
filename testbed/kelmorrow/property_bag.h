#pragma once
// A hardware record as the library hands it out. Bags share the record with
// the model: a change made through one is seen by the others and by later
// queries, until the record is replaced.
#include <cstdint>

#include "hardware_model.h"
#include "morrowkit/interfaces.h"
#include "ref_count.h"

namespace kelmorrow {

class PropertyBag final : public morrowkit::IqvSysPropertyBag {
 public:
  // One reference, owned by the caller.
  static PropertyBag* Create(RecordPtr record);
  // The library's own bag behind `bag`, or null for any other object.
  static PropertyBag* Find(morrowkit::IqvSysPropertyBag* bag);

  const RecordPtr& record() const { return record_; }

  HRESULT QueryInterface(const morrowkit::Iid& iid, void** object) override;
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;

  HRESULT GetCount(std::uint32_t* count) override;
  HRESULT HasProperty(std::uint32_t tag) override;
  HRESULT GetType(std::uint32_t tag, std::uint32_t* type) override;
  HRESULT GetTagAt(std::uint32_t index, std::uint32_t* tag) override;
  HRESULT Remove(std::uint32_t tag) override;
  HRESULT GetBool(std::uint32_t tag, std::int32_t* value) override;
  HRESULT SetBool(std::uint32_t tag, std::int32_t value) override;
  HRESULT GetInt16(std::uint32_t tag, std::int16_t* value) override;
  HRESULT SetInt16(std::uint32_t tag, std::int16_t value) override;
  HRESULT GetUInt16(std::uint32_t tag, std::uint16_t* value) override;
  HRESULT SetUInt16(std::uint32_t tag, std::uint16_t value) override;
  HRESULT GetInt64(std::uint32_t tag, std::int64_t* value) override;
  HRESULT SetInt64(std::uint32_t tag, std::int64_t value) override;
  HRESULT GetInt32(std::uint32_t tag, std::int32_t* value) override;
  HRESULT GetUInt32(std::uint32_t tag, std::uint32_t* value) override;
  HRESULT SetInt32(std::uint32_t tag, std::int32_t value) override;
  HRESULT SetUInt32(std::uint32_t tag, std::uint32_t value) override;
  HRESULT GetString(std::uint32_t tag, BSTR* value) override;
  HRESULT SetString(std::uint32_t tag, const platform::WideChar* value) override;
  HRESULT GetDouble(std::uint32_t tag, double* value) override;
  HRESULT SetDouble(std::uint32_t tag, double value) override;

 private:
  explicit PropertyBag(RecordPtr record);
  ~PropertyBag();

  template <class T, class Convert>
  HRESULT Read(const char* operation, std::uint32_t tag, PropertyType type, T* out, Convert convert);
  HRESULT Write(const char* operation, std::uint32_t tag, Property property);

  RefCount refs_;
  const RecordPtr record_;
};

}  // namespace kelmorrow
