#include "property_bag.h"

#include <iterator>
#include <mutex>
#include <utility>

#include "operation.h"

namespace kelmorrow {
namespace {

using morrowkit::PropertyType;

Property Stored(PropertyType type) {
  Property property;
  property.type = type;
  property.hasValue = true;
  return property;
}

Property StoredInteger(PropertyType type, std::int64_t value) {
  Property property = Stored(type);
  property.integer = value;
  return property;
}

}  // namespace

PropertyBag* PropertyBag::Create(RecordPtr record) { return new PropertyBag(std::move(record)); }

PropertyBag::PropertyBag(RecordPtr record) : record_(std::move(record)) { Library::Instance().AddBag(this); }

PropertyBag::~PropertyBag() { Library::Instance().RemoveBag(this); }

PropertyBag* PropertyBag::Find(morrowkit::IqvSysPropertyBag* bag) {
  return Library::Instance().IsBag(bag) ? static_cast<PropertyBag*>(bag) : nullptr;
}

HRESULT PropertyBag::QueryInterface(const morrowkit::Iid& iid, void** object) {
  return AnswerQuery(object, [&]() -> morrowkit::IUnknown* {
    if (iid == morrowkit::kIID_IUnknown) return this;
    if (iid == morrowkit::kIID_IqvSysPropertyBag && !record_->refusesPropertyBag) return this;
    return nullptr;
  });
}

std::uint32_t PropertyBag::AddRef() { return refs_.Add(); }

std::uint32_t PropertyBag::Release() {
  std::uint32_t left = refs_.Drop();
  if (left == 0) delete this;
  return left;
}

HRESULT PropertyBag::GetCount(std::uint32_t* count) {
  Clear(count);
  return RunOperation("GetCount", nullptr, [&]() -> HRESULT {
    if (count == nullptr) return platform::kE_POINTER;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    *count = static_cast<std::uint32_t>(record_->properties.size());
    return platform::kS_OK;
  });
}

HRESULT PropertyBag::HasProperty(std::uint32_t tag) {
  return RunOperation("HasProperty", nullptr, [&]() -> HRESULT {
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    const Property* property = record_->Find(tag);
    if (property == nullptr) return platform::kS_FALSE;
    if (property->hasPropertyFailure) return *property->hasPropertyFailure;
    return platform::kS_OK;
  });
}

HRESULT PropertyBag::GetType(std::uint32_t tag, std::uint32_t* type) {
  Clear(type);
  return RunOperation("GetType", nullptr, [&]() -> HRESULT {
    if (type == nullptr) return platform::kE_POINTER;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    const Property* property = record_->Find(tag);
    if (property == nullptr) return kE_ElementNotFound;
    *type = property->type;
    return platform::kS_OK;
  });
}

HRESULT PropertyBag::GetTagAt(std::uint32_t index, std::uint32_t* tag) {
  Clear(tag);
  return RunOperation("GetTagAt", nullptr, [&]() -> HRESULT {
    if (tag == nullptr) return platform::kE_POINTER;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    if (index >= record_->properties.size()) return kE_Bounds;
    *tag = std::next(record_->properties.begin(), index)->first;
    return platform::kS_OK;
  });
}

HRESULT PropertyBag::Remove(std::uint32_t tag) {
  return RunOperation("Remove", nullptr, [&]() -> HRESULT {
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    if (record_->properties.erase(tag) == 0) return platform::kS_FALSE;
    Library::Instance().state().saved = false;
    return platform::kS_OK;
  });
}

template <class T, class Convert>
HRESULT PropertyBag::Read(const char* operation, std::uint32_t tag, PropertyType type, T* out, Convert convert) {
  Clear(out);
  return RunOperation(operation, nullptr, [&]() -> HRESULT {
    if (out == nullptr) return platform::kE_POINTER;
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    const Property* property = record_->Find(tag);
    if (property == nullptr) return kE_ElementNotFound;
    if (property->readFailure) return *property->readFailure;
    if (property->type != type) return morrowkit::kE_TypeMismatch;
    if (property->stringFalse) return platform::kS_FALSE;
    if (!property->hasValue) return platform::kE_UNEXPECTED;
    *out = convert(*property);
    return platform::kS_OK;
  });
}

HRESULT PropertyBag::Write(const char* operation, std::uint32_t tag, Property property) {
  return RunOperation(operation, nullptr, [&]() -> HRESULT {
    std::lock_guard<std::mutex> lock(Library::Instance().mutex());
    record_->properties[tag] = std::move(property);
    Library::Instance().state().saved = false;
    return platform::kS_OK;
  });
}

HRESULT PropertyBag::GetBool(std::uint32_t tag, std::int32_t* value) {
  return Read("GetBool", tag, morrowkit::kPropertyTypeBool, value,
              [](const Property& p) { return static_cast<std::int32_t>(p.integer); });
}

HRESULT PropertyBag::SetBool(std::uint32_t tag, std::int32_t value) {
  return Write("SetBool", tag, StoredInteger(morrowkit::kPropertyTypeBool, value != 0 ? 1 : 0));
}

HRESULT PropertyBag::GetInt16(std::uint32_t tag, std::int16_t* value) {
  return Read("GetInt16", tag, morrowkit::kPropertyTypeInt16, value,
              [](const Property& p) { return static_cast<std::int16_t>(p.integer); });
}

HRESULT PropertyBag::SetInt16(std::uint32_t tag, std::int16_t value) {
  return Write("SetInt16", tag, StoredInteger(morrowkit::kPropertyTypeInt16, value));
}

HRESULT PropertyBag::GetUInt16(std::uint32_t tag, std::uint16_t* value) {
  return Read("GetUInt16", tag, morrowkit::kPropertyTypeUInt16, value,
              [](const Property& p) { return static_cast<std::uint16_t>(p.integer); });
}

HRESULT PropertyBag::SetUInt16(std::uint32_t tag, std::uint16_t value) {
  return Write("SetUInt16", tag, StoredInteger(morrowkit::kPropertyTypeUInt16, value));
}

HRESULT PropertyBag::GetInt64(std::uint32_t tag, std::int64_t* value) {
  return Read("GetInt64", tag, morrowkit::kPropertyTypeInt64, value, [](const Property& p) { return p.integer; });
}

HRESULT PropertyBag::SetInt64(std::uint32_t tag, std::int64_t value) {
  return Write("SetInt64", tag, StoredInteger(morrowkit::kPropertyTypeInt64, value));
}

HRESULT PropertyBag::GetInt32(std::uint32_t tag, std::int32_t* value) {
  return Read("GetInt32", tag, morrowkit::kPropertyTypeInt32, value,
              [](const Property& p) { return static_cast<std::int32_t>(p.integer); });
}

HRESULT PropertyBag::GetUInt32(std::uint32_t tag, std::uint32_t* value) {
  return Read("GetUInt32", tag, morrowkit::kPropertyTypeUInt32, value,
              [](const Property& p) { return static_cast<std::uint32_t>(p.integer); });
}

HRESULT PropertyBag::SetInt32(std::uint32_t tag, std::int32_t value) {
  return Write("SetInt32", tag, StoredInteger(morrowkit::kPropertyTypeInt32, value));
}

HRESULT PropertyBag::SetUInt32(std::uint32_t tag, std::uint32_t value) {
  return Write("SetUInt32", tag, StoredInteger(morrowkit::kPropertyTypeUInt32, value));
}

HRESULT PropertyBag::GetString(std::uint32_t tag, BSTR* value) {
  return Read("GetString", tag, morrowkit::kPropertyTypeString, value,
              [](const Property& p) { return Bstr(p.text).Detach(); });
}

HRESULT PropertyBag::SetString(std::uint32_t tag, const platform::WideChar* value) {
  if (value == nullptr) {
    return RunOperation("SetString", nullptr, [] { return platform::kE_POINTER; });
  }
  Property property = Stored(morrowkit::kPropertyTypeString);
  property.text = value;
  return Write("SetString", tag, std::move(property));
}

HRESULT PropertyBag::GetDouble(std::uint32_t tag, double* value) {
  return Read("GetDouble", tag, morrowkit::kPropertyTypeDouble, value, [](const Property& p) { return p.real; });
}

HRESULT PropertyBag::SetDouble(std::uint32_t tag, double value) {
  Property property = Stored(morrowkit::kPropertyTypeDouble);
  property.real = value;
  return Write("SetDouble", tag, std::move(property));
}

}  // namespace kelmorrow

