#pragma once
// The Morrow configuration library's interfaces, slot for slot. Every method
// is a vtable slot the library relies on: never reorder, insert or remove one.
// Strings in are NUL-terminated UTF-16; BSTRs out belong to the caller.
#include <cstdint>

#include "morrowkit/guid.h"
#include "platform/hresult.h"
#include "platform/ole.h"

namespace morrowkit {

using platform::WideChar;

struct IUnknown {
  virtual HRESULT QueryInterface(const Iid& iid, void** object) = 0;  // 0
  virtual std::uint32_t AddRef() = 0;                                 // 1
  virtual std::uint32_t Release() = 0;                                // 2
};

constexpr Iid kIID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr Iid kIID_IqvSysPropertyBag = {0x9F3973B1, 0x2DAD, 0x4ED7, {0x98, 0xE5, 0xDF, 0x0B, 0xDA, 0x39, 0x41, 0x4C}};
constexpr Iid kIID_IqvSysNotificationHandler = {0x3C565452, 0xF242, 0x4F35, {0xA4, 0xAD, 0x22, 0xAC, 0x69, 0xBD, 0x82, 0x1B}};
constexpr Iid kIID_IqvSysFramework2 = {0x1AA54089, 0x6E10, 0x4A5B, {0x87, 0x0D, 0xB2, 0x84, 0x24, 0xFC, 0x37, 0x4B}};
constexpr Iid kIID_IqvSysFramework3 = {0x265BBDB2, 0xF3AB, 0x431E, {0xBE, 0xDB, 0xFE, 0xA1, 0x6E, 0x7A, 0xFB, 0x25}};
constexpr Iid kIID_IqvSysDiagnostics = {0x121CA7DA, 0x7A6B, 0x48A5, {0xB7, 0xDC, 0xD4, 0xAC, 0xBC, 0x6A, 0xCA, 0xC6}};
// Ids of the library's own objects that the client never asks for by id.
constexpr Iid kIID_IqvSysFramework = {0x5D0C1E42, 0x8B7A, 0x4C1F, {0x9E, 0x21, 0x3A, 0x6D, 0x44, 0x0F, 0xB1, 0x07}};
constexpr Iid kIID_IqvSysEnumUnknown = {0x5D0C1E43, 0x8B7A, 0x4C1F, {0x9E, 0x21, 0x3A, 0x6D, 0x44, 0x0F, 0xB1, 0x07}};
constexpr Iid kIID_IqvSysEnumString = {0x5D0C1E44, 0x8B7A, 0x4C1F, {0x9E, 0x21, 0x3A, 0x6D, 0x44, 0x0F, 0xB1, 0x07}};

// Property value types, as IqvSysPropertyBag::GetType reports them.
enum PropertyType : std::uint32_t {
  kPropertyTypeBool = 1,
  kPropertyTypeInt16 = 2,
  kPropertyTypeUInt16 = 3,
  kPropertyTypeInt32 = 4,
  kPropertyTypeUInt32 = 5,
  kPropertyTypeInt64 = 6,
  kPropertyTypeDouble = 7,
  kPropertyTypeString = 8,
};

struct IqvSysEnumUnknown : IUnknown {
  virtual HRESULT Next(std::uint32_t count, IUnknown** items, std::uint32_t* fetched) = 0;  // 3
  virtual HRESULT Skip(std::uint32_t count) = 0;                                          // 4
  virtual HRESULT Reset() = 0;                                                            // 5
  virtual HRESULT Clone(IqvSysEnumUnknown** copy) = 0;                                    // 6
};

struct IqvSysEnumString : IUnknown {
  virtual HRESULT Next(std::uint32_t count, BSTR* items, std::uint32_t* fetched) = 0;  // 3
  virtual HRESULT Skip(std::uint32_t count) = 0;                                     // 4
  virtual HRESULT Reset() = 0;                                                       // 5
  virtual HRESULT Clone(IqvSysEnumString** copy) = 0;                                // 6
};

// A hardware record: typed values under 32-bit tags. Reading a value of
// another type than the one stored fails with kE_TypeMismatch.
struct IqvSysPropertyBag : IUnknown {
  virtual HRESULT GetCount(std::uint32_t* count) = 0;                          // 3
  virtual HRESULT HasProperty(std::uint32_t tag) = 0;                          // 4: S_OK present, S_FALSE absent
  virtual HRESULT GetType(std::uint32_t tag, std::uint32_t* type) = 0;         // 5
  virtual HRESULT GetTagAt(std::uint32_t index, std::uint32_t* tag) = 0;       // 6
  virtual HRESULT Remove(std::uint32_t tag) = 0;                               // 7
  virtual HRESULT GetBool(std::uint32_t tag, std::int32_t* value) = 0;         // 8
  virtual HRESULT SetBool(std::uint32_t tag, std::int32_t value) = 0;          // 9
  virtual HRESULT GetInt16(std::uint32_t tag, std::int16_t* value) = 0;        // 10
  virtual HRESULT SetInt16(std::uint32_t tag, std::int16_t value) = 0;         // 11
  virtual HRESULT GetUInt16(std::uint32_t tag, std::uint16_t* value) = 0;      // 12
  virtual HRESULT SetUInt16(std::uint32_t tag, std::uint16_t value) = 0;       // 13
  virtual HRESULT GetInt64(std::uint32_t tag, std::int64_t* value) = 0;        // 14
  virtual HRESULT SetInt64(std::uint32_t tag, std::int64_t value) = 0;         // 15
  virtual HRESULT GetInt32(std::uint32_t tag, std::int32_t* value) = 0;        // 16
  virtual HRESULT GetUInt32(std::uint32_t tag, std::uint32_t* value) = 0;      // 17
  virtual HRESULT SetInt32(std::uint32_t tag, std::int32_t value) = 0;         // 18
  virtual HRESULT SetUInt32(std::uint32_t tag, std::uint32_t value) = 0;       // 19
  virtual HRESULT GetString(std::uint32_t tag, BSTR* value) = 0;               // 20: S_FALSE = no string
  virtual HRESULT SetString(std::uint32_t tag, const WideChar* value) = 0;     // 21
  virtual HRESULT GetDouble(std::uint32_t tag, double* value) = 0;             // 22
  virtual HRESULT SetDouble(std::uint32_t tag, double value) = 0;              // 23
};

// Implemented by the client; the library calls it on a thread of its own.
struct IqvSysNotificationHandler : IUnknown {
  virtual HRESULT OnConfigurationChanged(void* context, std::uint32_t kind, IqvSysEnumString* names) = 0;  // 3
};

// Kinds of configuration change passed to OnConfigurationChanged.
enum ChangeKind : std::uint32_t {
  kChangeRecordsAdded = 1,
  kChangeRecordsRemoved = 2,
  kChangeRecordsReplaced = 3,
};

struct IqvSysFramework : IUnknown {
  virtual HRESULT FindHardware(const WideChar* target, IqvSysEnumUnknown** records) = 0;  // 3
  virtual HRESULT FindHardwareByModel(const WideChar* target, std::uint32_t modelCode, void* reserved,
                                      IqvSysEnumUnknown** records) = 0;  // 4
  virtual HRESULT GetSourceNames(const WideChar* target, IqvSysEnumString** names) = 0;  // 5
  virtual HRESULT FindHardwareByName(const WideChar* resourceName, IqvSysPropertyBag** record) = 0;  // 6
  virtual HRESULT GetComponents(const WideChar* target, IqvSysEnumUnknown** components) = 0;  // 7
  virtual HRESULT SetNotificationHandler(const WideChar* target, IqvSysNotificationHandler* handler,
                                         void* context) = 0;  // 8
  virtual HRESULT SelectProperties(IqvSysPropertyBag* record, const std::uint32_t* tags, std::uint32_t count,
                                   std::int32_t keepOthers) = 0;  // 9
  virtual HRESULT GetLocalSystem(IqvSysPropertyBag** record) = 0;  // 10
  virtual HRESULT RefreshTarget(const WideChar* target, std::uint32_t timeoutMs) = 0;  // 11
  virtual HRESULT SaveConfiguration() = 0;  // 12
  virtual HRESULT ResolveAlias(const WideChar* target, const WideChar* alias, std::uint32_t options,
                               std::int32_t* found, BSTR* resourceName, BSTR* targetName) = 0;  // 13
  virtual HRESULT ValidateRecord(IqvSysPropertyBag* record, std::int32_t strict, std::int32_t* valid, BSTR* report,
                                 BSTR* detail) = 0;  // 14
  virtual HRESULT SetAlias(const WideChar* target, const WideChar* alias, const WideChar* resourceName) = 0;  // 15
  virtual HRESULT FormatProperty(IqvSysPropertyBag* record, std::uint32_t tag, BSTR* text) = 0;  // 16
  virtual HRESULT SetTargetEnabled(const WideChar* target, std::int32_t enabled) = 0;  // 17
  virtual HRESULT Reserved18() = 0;  // 18
  virtual HRESULT Reserved19() = 0;  // 19
  virtual HRESULT Reserved20() = 0;  // 20
  virtual HRESULT Reserved21() = 0;  // 21
  virtual HRESULT DescribeTarget(const WideChar* target, std::int32_t verbose, std::uint32_t depth,
                                 BSTR* description) = 0;  // 22
  virtual HRESULT AddTarget(const WideChar* target, const WideChar* hostName, const WideChar* description,
                            std::int32_t replace, void* reserved) = 0;  // 23
  virtual HRESULT UpdateTarget(const WideChar* target, const WideChar* hostName, const WideChar* description,
                               std::int32_t enabled) = 0;  // 24
  virtual HRESULT RenameTarget(const WideChar* target, const WideChar* newName) = 0;  // 25
  virtual HRESULT ReserveResource(const WideChar* resourceName, std::uint32_t owner, std::int32_t* previousOwner,
                                  BSTR* holder, BSTR* detail) = 0;  // 26
  virtual HRESULT SetTraceLevel(std::int32_t enabled, std::uint32_t level) = 0;  // 27
};

// Reached by querying the framework for kIID_IqvSysFramework2.
struct IqvSysFramework2 : IqvSysFramework {
  virtual HRESULT GetLicenseState(std::int32_t* licensed, BSTR* text, BSTR* detail) = 0;  // 28
  virtual HRESULT Reserved29() = 0;                                                       // 29
  virtual HRESULT Reserved30() = 0;                                                       // 30
  virtual HRESULT Reserved31() = 0;                                                       // 31
  virtual HRESULT Reserved32() = 0;                                                       // 32
  virtual HRESULT ImportConfiguration(IqvSysPropertyBag** settings, BSTR* source, BSTR* detail) = 0;  // 33
  virtual HRESULT ExportConfiguration(std::int32_t* complete, BSTR* text, BSTR* detail) = 0;           // 34
};

// Reached by querying the framework for kIID_IqvSysFramework3.
struct IqvSysFramework3 : IqvSysFramework2 {
  virtual HRESULT FindAllHardware(IqvSysEnumUnknown** records) = 0;  // 35
};

// Reached by querying the framework for kIID_IqvSysDiagnostics.
struct IqvSysDiagnostics : IUnknown {
  virtual HRESULT GetErrorCount(std::uint32_t* count) = 0;      // 3
  virtual HRESULT GetReport(BSTR* report, BSTR* detail) = 0;    // 4
};

// Status a property read answers when the stored value has another type.
constexpr HRESULT kE_TypeMismatch = static_cast<HRESULT>(0x80020005u);

}  // namespace morrowkit

// The library's one exported entry point; flags are 0 or 1.
extern "C" HRESULT kelsysInstantiateFramework2(std::int32_t flag1, std::int32_t flag2,
                                               morrowkit::IqvSysFramework** framework);
