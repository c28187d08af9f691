#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "counted.h"
#include "morrowkit/com_ptr.h"
#include "platform/ole.h"

namespace morrowkit::test {

// What the last call into the fake library carried.
struct Call {
  int slot = 0;
  bool on_diagnostics = false;
  std::vector<platform::WideString> texts;
  std::vector<std::uint32_t> numbers;  // flags, counts and values in order
  std::vector<std::uint32_t> tags;
  IqvSysPropertyBag* record = nullptr;
  IqvSysNotificationHandler* handler = nullptr;
  void* pointer = nullptr;  // context or reserved pointer
};

class FakeFramework;

class FakeDiagnostics : public Counted<IqvSysDiagnostics> {
 public:
  explicit FakeDiagnostics(FakeFramework& framework) : Counted({kIID_IqvSysDiagnostics}), framework_(framework) {}
  HRESULT GetErrorCount(std::uint32_t*) override { return kE_NOTIMPL; }
  HRESULT GetReport(BSTR* report, BSTR* detail) override;

 private:
  FakeFramework& framework_;
};

// Every slot records its arguments into `last` and answers `result`. Outputs
// come from the out_ fields: BSTR outs take out_texts in parameter order
// (missing or nullopt gives null), interface outs get a new reference.
class FakeFramework : public Counted<IqvSysFramework3> {
 public:
  FakeFramework() : Counted({}), diagnostics(*this) {}
  ~FakeFramework() { kept_handler.Reset(); }

  HRESULT QueryInterface(const Iid& iid, void** object) override {
    if (object == nullptr) return platform::kE_POINTER;
    *object = nullptr;
    ++queries;
    if (iid == kIID_IqvSysDiagnostics && newer) {
      *object = static_cast<IqvSysDiagnostics*>(&diagnostics);
      diagnostics.AddRef();
      return platform::kS_OK;
    }
    const bool answers = iid == kIID_IUnknown || iid == kIID_IqvSysFramework ||
                         (newer && (iid == kIID_IqvSysFramework2 || iid == kIID_IqvSysFramework3));
    if (!answers) return query_failure;
    *object = static_cast<IqvSysFramework3*>(this);
    AddRef();
    return platform::kS_OK;
  }

  HRESULT FindHardware(const WideChar* target, IqvSysEnumUnknown** records) override {
    Record(3).texts = {target};
    return Hand(out_records, records);
  }
  HRESULT FindHardwareByModel(const WideChar* target, std::uint32_t model, void* reserved,
                              IqvSysEnumUnknown** records) override {
    Call& call = Record(4);
    call.texts = {target};
    call.numbers = {model};
    call.pointer = reserved;
    return Hand(out_records, records);
  }
  HRESULT GetSourceNames(const WideChar* target, IqvSysEnumString** names) override {
    Record(5).texts = {target};
    return Hand(out_strings, names);
  }
  HRESULT FindHardwareByName(const WideChar* name, IqvSysPropertyBag** record) override {
    Record(6).texts = {name};
    return Hand(out_record, record);
  }
  HRESULT GetComponents(const WideChar* target, IqvSysEnumUnknown** components) override {
    Record(7).texts = {target};
    return Hand(out_records, components);
  }
  HRESULT SetNotificationHandler(const WideChar* target, IqvSysNotificationHandler* handler,
                                 void* context) override {
    Call& call = Record(8);
    call.texts = {target};
    call.handler = handler;
    call.pointer = context;
    if (result >= 0) {
      kept_handler = ComPtr<IqvSysNotificationHandler>(handler);
      kept_context = context;
    }
    return result;
  }
  HRESULT SelectProperties(IqvSysPropertyBag* record, const std::uint32_t* tags, std::uint32_t count,
                           std::int32_t keep_others) override {
    Call& call = Record(9);
    call.record = record;
    call.tags.assign(tags, tags + count);
    call.numbers = {count, static_cast<std::uint32_t>(keep_others)};
    return result;
  }
  HRESULT GetLocalSystem(IqvSysPropertyBag** record) override {
    Record(10);
    return Hand(out_record, record);
  }
  HRESULT RefreshTarget(const WideChar* target, std::uint32_t timeout) override {
    Call& call = Record(11);
    call.texts = {target};
    call.numbers = {timeout};
    return result;
  }
  HRESULT SaveConfiguration() override {
    Record(12);
    return result;
  }
  HRESULT ResolveAlias(const WideChar* target, const WideChar* alias, std::uint32_t options, std::int32_t* found,
                       BSTR* resource, BSTR* target_name) override {
    Call& call = Record(13);
    call.texts = {target, alias};
    call.numbers = {options};
    *found = out_number;
    return Texts({resource, target_name});
  }
  HRESULT ValidateRecord(IqvSysPropertyBag* record, std::int32_t strict, std::int32_t* valid, BSTR* report,
                         BSTR* detail) override {
    Call& call = Record(14);
    call.record = record;
    call.numbers = {static_cast<std::uint32_t>(strict)};
    *valid = out_number;
    return Texts({report, detail});
  }
  HRESULT SetAlias(const WideChar* target, const WideChar* alias, const WideChar* name) override {
    Record(15).texts = {target, alias, name};
    return result;
  }
  HRESULT FormatProperty(IqvSysPropertyBag* record, std::uint32_t tag, BSTR* text) override {
    Call& call = Record(16);
    call.record = record;
    call.numbers = {tag};
    return Texts({text});
  }
  HRESULT SetTargetEnabled(const WideChar* target, std::int32_t enabled) override {
    Call& call = Record(17);
    call.texts = {target};
    call.numbers = {static_cast<std::uint32_t>(enabled)};
    return result;
  }
  HRESULT Reserved18() override { return Record(18), kE_NOTIMPL; }
  HRESULT Reserved19() override { return Record(19), kE_NOTIMPL; }
  HRESULT Reserved20() override { return Record(20), kE_NOTIMPL; }
  HRESULT Reserved21() override { return Record(21), kE_NOTIMPL; }
  HRESULT DescribeTarget(const WideChar* target, std::int32_t verbose, std::uint32_t depth,
                         BSTR* description) override {
    Call& call = Record(22);
    call.texts = {target};
    call.numbers = {static_cast<std::uint32_t>(verbose), depth};
    return Texts({description});
  }
  HRESULT AddTarget(const WideChar* target, const WideChar* host, const WideChar* description, std::int32_t replace,
                    void* reserved) override {
    Call& call = Record(23);
    call.texts = {target, host, description};
    call.numbers = {static_cast<std::uint32_t>(replace)};
    call.pointer = reserved;
    return result;
  }
  HRESULT UpdateTarget(const WideChar* target, const WideChar* host, const WideChar* description,
                       std::int32_t enabled) override {
    Call& call = Record(24);
    call.texts = {target, host, description};
    call.numbers = {static_cast<std::uint32_t>(enabled)};
    return result;
  }
  HRESULT RenameTarget(const WideChar* target, const WideChar* name) override {
    Record(25).texts = {target, name};
    return result;
  }
  HRESULT ReserveResource(const WideChar* name, std::uint32_t owner, std::int32_t* previous, BSTR* holder,
                          BSTR* detail) override {
    Call& call = Record(26);
    call.texts = {name};
    call.numbers = {owner};
    *previous = out_number;
    return Texts({holder, detail});
  }
  HRESULT SetTraceLevel(std::int32_t enabled, std::uint32_t level) override {
    Record(27).numbers = {static_cast<std::uint32_t>(enabled), level};
    return result;
  }
  HRESULT GetLicenseState(std::int32_t* licensed, BSTR* text, BSTR* detail) override {
    Record(28);
    *licensed = out_number;
    return Texts({text, detail});
  }
  HRESULT Reserved29() override { return Record(29), kE_NOTIMPL; }
  HRESULT Reserved30() override { return Record(30), kE_NOTIMPL; }
  HRESULT Reserved31() override { return Record(31), kE_NOTIMPL; }
  HRESULT Reserved32() override { return Record(32), kE_NOTIMPL; }
  HRESULT ImportConfiguration(IqvSysPropertyBag** settings, BSTR* source, BSTR* detail) override {
    Record(33);
    Hand(out_record, settings);
    return Texts({source, detail});
  }
  HRESULT ExportConfiguration(std::int32_t* complete, BSTR* text, BSTR* detail) override {
    Record(34);
    *complete = out_number;
    return Texts({text, detail});
  }
  HRESULT FindAllHardware(IqvSysEnumUnknown** records) override {
    Record(35);
    return Hand(out_records, records);
  }

  Call& Record(int slot, bool on_diagnostics = false) {
    ++calls;
    last = Call();
    last.slot = slot;
    last.on_diagnostics = on_diagnostics;
    return last;
  }
  HRESULT Texts(std::initializer_list<BSTR*> outs) {
    std::size_t i = 0;
    for (BSTR* out : outs) {
      const bool given = i < out_texts.size() && out_texts[i].has_value();
      *out = given ? platform::SysAllocStringLen(out_texts[i]->data(),
                                                 static_cast<std::uint32_t>(out_texts[i]->size()))
                   : nullptr;
      ++i;
    }
    return result;
  }

  FakeDiagnostics diagnostics;
  HRESULT result = platform::kS_OK;
  bool newer = true;  // answers the Framework2, Framework3 and diagnostics ids
  HRESULT query_failure = platform::kE_NOINTERFACE;
  std::int32_t out_number = 0;
  std::vector<std::optional<platform::WideString>> out_texts;
  IqvSysPropertyBag* out_record = nullptr;
  IqvSysEnumUnknown* out_records = nullptr;
  IqvSysEnumString* out_strings = nullptr;

  Call last;
  int calls = 0;
  int queries = 0;
  ComPtr<IqvSysNotificationHandler> kept_handler;
  void* kept_context = nullptr;

 private:
  template <class T>
  HRESULT Hand(T* object, T** out) {
    *out = object;
    if (object != nullptr) object->AddRef();
    return result;
  }
};

inline HRESULT FakeDiagnostics::GetReport(BSTR* report, BSTR* detail) {
  framework_.Record(4, true);
  return framework_.Texts({report, detail});
}

}  // namespace morrowkit::test
