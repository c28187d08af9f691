#include <string>

#include "test_support.h"

namespace kelmorrow_test {
namespace {

using morrowkit::IqvSysEnumUnknown;
using morrowkit::IqvSysFramework;
using morrowkit::IqvSysPropertyBag;

constexpr char kHardware[] = R"({"targets": {
  "": {"records": [
    {"status": 1, "modelCode": "0x7066", "resourceName": "Dev1", "sourceNames": ["backplane", "kelsyscfg"]},
    {"status": 1, "modelCode": "0x7A07", "sourceNames": ["kelsyscfg", "network"], "sourceResourceName": "system"},
    {"status": 0, "modelCode": "0x7066", "resourceName": "Dev2", "sourceNames": ["backplane"]}],
    "aliases": {"timing": "Dev1"}},
  "rt.lab": {"records": [{"status": 1, "resourceName": "Remote1"}], "aliases": {"far": "Remote1"}},
  "down.lab": {"findHardwareFailure": "0x800706BA"},
  "void.lab": {"findHardwareNull": true},
  "off.lab": {"enabled": false, "records": [{"status": 1}]}}})";

class FrameworkTest : public KelmorrowTest {
 protected:
  void SetUp() override {
    KelmorrowTest::SetUp();
    Load(kHardware);
    framework_ = Framework();
  }
  void TearDown() override {
    framework_.Reset();
    KelmorrowTest::TearDown();
  }

  template <class T>
  ComPtr<T> As(const morrowkit::Iid& iid) {
    ComPtr<T> result;
    EXPECT_EQ(framework_->QueryInterface(iid, reinterpret_cast<void**>(result.Put())), 0);
    return result;
  }

  static WideString ResourceName(IqvSysPropertyBag* bag) {
    BSTR text = nullptr;
    EXPECT_EQ(bag->GetString(0x101F000, &text), 0);
    return Take(text);
  }

  std::vector<WideString> Names(IqvSysEnumUnknown* records) {
    std::vector<WideString> names;
    for (auto& item : Items(records)) {
      ComPtr<IqvSysPropertyBag> bag;
      EXPECT_EQ(item->QueryInterface(morrowkit::kIID_IqvSysPropertyBag, reinterpret_cast<void**>(bag.Put())), 0);
      names.push_back(bag->HasProperty(0x101F000) == 0 ? ResourceName(bag.Get()) : Wide(u"-"));
    }
    return names;
  }

  ComPtr<IqvSysFramework> framework_;
};

TEST_F(FrameworkTest, AnswersItsInterfacesAsOneObject) {
  auto unknown = As<morrowkit::IUnknown>(morrowkit::kIID_IUnknown);
  auto third = As<morrowkit::IqvSysFramework3>(morrowkit::kIID_IqvSysFramework3);
  auto second = As<morrowkit::IqvSysFramework2>(morrowkit::kIID_IqvSysFramework2);
  auto diagnostics = As<morrowkit::IqvSysDiagnostics>(morrowkit::kIID_IqvSysDiagnostics);
  EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(framework_.Get()));
  EXPECT_EQ(static_cast<void*>(third.Get()), static_cast<void*>(framework_.Get()));
  ComPtr<morrowkit::IUnknown> fromDiagnostics;
  EXPECT_EQ(diagnostics->QueryInterface(morrowkit::kIID_IUnknown, reinterpret_cast<void**>(fromDiagnostics.Put())), 0);
  EXPECT_EQ(fromDiagnostics.Get(), unknown.Get());

  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(framework_->QueryInterface(morrowkit::kIID_IqvSysPropertyBag, &none), platform::kE_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(framework_->QueryInterface(morrowkit::kIID_IUnknown, nullptr), platform::kE_POINTER);
}

TEST_F(FrameworkTest, InstantiationChecksItsArguments) {
  ComPtr<IqvSysFramework> framework;
  EXPECT_EQ(kelsysInstantiateFramework2(2, 1, framework.Put()), platform::kE_INVALIDARG);
  EXPECT_FALSE(framework);
  EXPECT_EQ(kelsysInstantiateFramework2(1, 1, nullptr), platform::kE_POINTER);
  EXPECT_EQ(kelsysInstantiateFramework2(0, 0, framework.Put()), 0);
  EXPECT_TRUE(framework);
}

// What FindHardware answers for each kind of target.
TEST_F(FrameworkTest, FindHardwareAnswersPerTarget) {
  ComPtr<IqvSysEnumUnknown> records;
  EXPECT_EQ(framework_->FindHardware(Wide(u"down.lab").c_str(), records.Put()), static_cast<HRESULT>(0x800706BAu));
  EXPECT_FALSE(records);
  EXPECT_EQ(framework_->FindHardware(Wide(u"void.lab").c_str(), records.Put()), 0);
  EXPECT_FALSE(records);
  EXPECT_EQ(framework_->FindHardware(Wide(u"off.lab").c_str(), records.Put()), static_cast<HRESULT>(0x80070015u));
  EXPECT_EQ(framework_->FindHardware(Wide(u"unknown.lab").c_str(), records.Put()), 0);
  EXPECT_TRUE(Items(records.Get()).empty());
  EXPECT_EQ(framework_->FindHardware(Wide(u"").c_str(), records.Put()), 0);
  EXPECT_EQ(Names(records.Get()), (std::vector<WideString>{Wide(u"Dev1"), Wide(u"-"), Wide(u"Dev2")}));
  EXPECT_EQ(framework_->FindHardware(nullptr, records.Put()), platform::kE_POINTER);
  const platform::WideChar unpaired[] = {0xD800, 0};
  EXPECT_EQ(framework_->FindHardware(unpaired, records.Put()), platform::kE_INVALIDARG);
}

TEST_F(FrameworkTest, EnumeratorNextSkipResetAndClone) {
  ComPtr<IqvSysEnumUnknown> records;
  ASSERT_EQ(framework_->FindHardware(Wide(u"").c_str(), records.Put()), 0);
  morrowkit::IUnknown* items[6] = {};
  std::uint32_t fetched = 9;
  EXPECT_EQ(records->Next(2, items, nullptr), platform::kE_INVALIDARG);
  EXPECT_EQ(records->Next(2, items, &fetched), 0);
  EXPECT_EQ(fetched, 2u);
  ComPtr<IqvSysEnumUnknown> clone;
  EXPECT_EQ(records->Clone(clone.Put()), 0);
  EXPECT_EQ(records->Next(4, items + 2, &fetched), platform::kS_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(items[3], nullptr);
  for (int i = 0; i < 3; ++i) items[i]->Release();
  EXPECT_EQ(records->Next(1, items, &fetched), platform::kS_FALSE);
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(Items(clone.Get()).size(), 1u);
  EXPECT_EQ(records->Reset(), 0);
  EXPECT_EQ(records->Skip(2), 0);
  EXPECT_EQ(records->Skip(2), platform::kS_FALSE);
  EXPECT_EQ(records->Reset(), 0);
  EXPECT_EQ(Items(records.Get()).size(), 3u);
}

TEST_F(FrameworkTest, FindsRecordsByModelNameAndSource) {
  ComPtr<IqvSysEnumUnknown> records;
  EXPECT_EQ(framework_->FindHardwareByModel(Wide(u"").c_str(), 0x7066, nullptr, records.Put()), 0);
  EXPECT_EQ(Names(records.Get()), (std::vector<WideString>{Wide(u"Dev1"), Wide(u"Dev2")}));
  int reserved = 0;
  EXPECT_EQ(framework_->FindHardwareByModel(Wide(u"").c_str(), 0x7066, &reserved, records.Put()), platform::kE_INVALIDARG);

  ComPtr<IqvSysPropertyBag> record;
  EXPECT_EQ(framework_->FindHardwareByName(Wide(u"Remote1").c_str(), record.Put()), 0);
  EXPECT_EQ(ResourceName(record.Get()), Wide(u"Remote1"));
  EXPECT_EQ(framework_->FindHardwareByName(Wide(u"Dev9").c_str(), record.Put()), kE_ElementNotFound);
  EXPECT_FALSE(record);

  EXPECT_EQ(framework_->GetLocalSystem(record.Put()), 0);
  BSTR source = nullptr;
  EXPECT_EQ(record->GetString(0x101D000, &source), 0);
  EXPECT_EQ(Take(source), Wide(u"system"));

  ComPtr<morrowkit::IqvSysEnumString> sources;
  EXPECT_EQ(framework_->GetSourceNames(Wide(u"").c_str(), sources.Put()), 0);
  std::vector<WideString> names;
  BSTR name = nullptr;
  while (sources->Next(1, &name, nullptr) == 0) names.push_back(Take(name));
  EXPECT_EQ(names, (std::vector<WideString>{Wide(u"backplane"), Wide(u"kelsyscfg"), Wide(u"network")}));
}

TEST_F(FrameworkTest, ComponentsAndAllHardwareIgnoreTargetFaults) {
  ComPtr<IqvSysEnumUnknown> records;
  EXPECT_EQ(framework_->GetComponents(Wide(u"off.lab").c_str(), records.Put()), 0);
  EXPECT_EQ(Items(records.Get()).size(), 1u);
  EXPECT_EQ(As<morrowkit::IqvSysFramework3>(morrowkit::kIID_IqvSysFramework3)->FindAllHardware(records.Put()), 0);
  EXPECT_EQ(Items(records.Get()).size(), 5u);
}

TEST_F(FrameworkTest, SelectPropertiesCountsListedTagsAndDropsTheRest) {
  ComPtr<IqvSysPropertyBag> record;
  ASSERT_EQ(framework_->FindHardwareByName(Wide(u"Dev1").c_str(), record.Put()), 0);
  const std::uint32_t tags[] = {0x1024000, 0x101F000, 0x1234000, 0x1024000};
  EXPECT_EQ(framework_->SelectProperties(record.Get(), tags, 4, 1), 2);
  std::uint32_t count = 0;
  EXPECT_EQ(record->GetCount(&count), 0);
  EXPECT_EQ(count, 6u);
  EXPECT_EQ(framework_->SelectProperties(record.Get(), tags, 4, 0), 2);
  EXPECT_EQ(record->GetCount(&count), 0);
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(framework_->SelectProperties(record.Get(), tags, 0, 0), platform::kE_INVALIDARG);
  // A pointer the library did not hand out is refused, never touched.
  int notABag = 0;
  EXPECT_EQ(framework_->SelectProperties(reinterpret_cast<IqvSysPropertyBag*>(&notABag), tags, 1, 1),
            platform::kE_INVALIDARG);
}

TEST_F(FrameworkTest, AliasesResolveInTheTargetOrEverywhere) {
  std::int32_t found = 0;
  BSTR resource = nullptr;
  BSTR target = nullptr;
  EXPECT_EQ(framework_->ResolveAlias(Wide(u"").c_str(), Wide(u"timing").c_str(), 0, &found, &resource, &target), 0);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(Take(resource), Wide(u"Dev1"));
  EXPECT_EQ(Take(target), Wide(u""));
  EXPECT_EQ(framework_->ResolveAlias(Wide(u"").c_str(), Wide(u"far").c_str(), 0, &found, &resource, &target),
            platform::kS_FALSE);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(framework_->ResolveAlias(Wide(u"").c_str(), Wide(u"far").c_str(), 1, &found, &resource, &target), 0);
  EXPECT_EQ(Take(resource), Wide(u"Remote1"));
  EXPECT_EQ(Take(target), Wide(u"rt.lab"));

  EXPECT_EQ(framework_->SetAlias(Wide(u"").c_str(), Wide(u"far").c_str(), Wide(u"Dev2").c_str()), 0);
  EXPECT_EQ(framework_->ResolveAlias(Wide(u"").c_str(), Wide(u"far").c_str(), 1, &found, &resource, &target), 0);
  EXPECT_EQ(Take(resource), Wide(u"Dev2"));
  Take(target);
  EXPECT_EQ(framework_->SetAlias(Wide(u"").c_str(), Wide(u"far").c_str(), nullptr), 0);
  EXPECT_EQ(framework_->SetAlias(Wide(u"").c_str(), Wide(u"far").c_str(), nullptr), platform::kS_FALSE);
  EXPECT_EQ(framework_->SetAlias(Wide(u"nowhere").c_str(), Wide(u"x").c_str(), Wide(u"y").c_str()), kE_ElementNotFound);
}

TEST_F(FrameworkTest, ManagesTargets) {
  EXPECT_EQ(framework_->AddTarget(Wide(u"new.lab").c_str(), Wide(u"new").c_str(), Wide(u"spare").c_str(), 0, nullptr), 0);
  EXPECT_EQ(framework_->AddTarget(Wide(u"new.lab").c_str(), nullptr, nullptr, 0, nullptr),
            static_cast<HRESULT>(0x800700B7u));
  EXPECT_EQ(framework_->UpdateTarget(Wide(u"new.lab").c_str(), nullptr, Wide(u"in use").c_str(), 0), 0);
  EXPECT_EQ(framework_->RenameTarget(Wide(u"new.lab").c_str(), Wide(u"rt.lab").c_str()), static_cast<HRESULT>(0x800700B7u));
  EXPECT_EQ(framework_->RenameTarget(Wide(u"").c_str(), Wide(u"x").c_str()), platform::kE_INVALIDARG);
  EXPECT_EQ(framework_->RenameTarget(Wide(u"new.lab").c_str(), Wide(u"old.lab").c_str()), 0);
  BSTR text = nullptr;
  EXPECT_EQ(framework_->DescribeTarget(Wide(u"old.lab").c_str(), 0, 0, &text), 0);
  EXPECT_EQ(Utf8(Take(text)), "target \"old.lab\": 0 records, disabled, host \"new\", description \"in use\"\n");
  EXPECT_EQ(framework_->DescribeTarget(Wide(u"new.lab").c_str(), 0, 0, &text), kE_ElementNotFound);

  EXPECT_EQ(framework_->SetTargetEnabled(Wide(u"rt.lab").c_str(), 0), 0);
  EXPECT_EQ(framework_->DescribeTarget(Wide(u"rt.lab").c_str(), 1, 1, &text), 0);
  EXPECT_EQ(Utf8(Take(text)),
            "target \"rt.lab\": 1 records, disabled, host \"\", description \"\"\n"
            "record 1: \"Remote1\", 2 properties\n"
            "  0x101F000 string Remote1\n"
            "  0x1024000 int32 1\n");
}

TEST_F(FrameworkTest, ValidateRecordReportsProblemsOrFailsWithDetail) {
  Load(R"({"targets": {"": {"records": [{"status": 2, "modelCode": 1, "resourceName": ""},
                                         {"status": {"type": "uint32", "value": 1}}]}}})");
  auto records = Records();
  std::int32_t valid = -1;
  BSTR report = nullptr;
  BSTR detail = nullptr;
  EXPECT_EQ(framework_->ValidateRecord(records[0].Get(), 0, &valid, &report, &detail), 0);
  EXPECT_EQ(valid, 1);
  EXPECT_EQ(Utf8(Take(report)), "valid");
  EXPECT_EQ(framework_->ValidateRecord(records[0].Get(), 1, &valid, &report, &detail), 0);
  EXPECT_EQ(valid, 0);
  EXPECT_EQ(Utf8(Take(report)), "status is 2, not 1; resource name (0x101F000) is missing or empty");
  EXPECT_EQ(framework_->ValidateRecord(records[1].Get(), 0, &valid, &report, &detail), 0);
  EXPECT_EQ(Utf8(Take(report)), "status (0x1024000) is uint32, not int32; model code (0x1005000) is missing");
  EXPECT_EQ(detail, nullptr);

  int notABag = 0;
  EXPECT_EQ(framework_->ValidateRecord(reinterpret_cast<IqvSysPropertyBag*>(&notABag), 0, &valid, &report, &detail),
            platform::kE_INVALIDARG);
  EXPECT_EQ(report, nullptr);
  EXPECT_EQ(Utf8(Take(detail)), "the record is not a property bag of this library");
}

TEST_F(FrameworkTest, ReservationsConflictWithDetail) {
  std::int32_t previous = -1;
  BSTR holder = nullptr;
  BSTR detail = nullptr;
  EXPECT_EQ(framework_->ReserveResource(Wide(u"Dev1").c_str(), 7, &previous, &holder, &detail), 0);
  EXPECT_EQ(previous, 0);
  EXPECT_EQ(Utf8(Take(holder)), "owner 7");
  EXPECT_EQ(framework_->ReserveResource(Wide(u"Dev1").c_str(), 8, &previous, &holder, &detail),
            static_cast<HRESULT>(0x800700AAu));
  EXPECT_EQ(previous, 7);
  EXPECT_EQ(Utf8(Take(holder)), "owner 7");
  EXPECT_EQ(Utf8(Take(detail)), "resource \"Dev1\" is reserved by owner 7");
  EXPECT_EQ(framework_->ReserveResource(Wide(u"Dev1").c_str(), 0, &previous, &holder, &detail), 0);
  EXPECT_EQ(framework_->ReserveResource(Wide(u"Dev1").c_str(), 8, &previous, &holder, &detail), 0);
  Take(holder);
  EXPECT_EQ(framework_->ReserveResource(Wide(u"Dev9").c_str(), 8, &previous, &holder, &detail), kE_ElementNotFound);
  EXPECT_EQ(Utf8(Take(detail)), "no resource named \"Dev9\"");
}

TEST_F(FrameworkTest, ConfigurationAndDiagnostics) {
  auto second = As<morrowkit::IqvSysFramework2>(morrowkit::kIID_IqvSysFramework2);
  std::int32_t licensed = 0;
  BSTR text = nullptr;
  BSTR detail = nullptr;
  EXPECT_EQ(second->GetLicenseState(&licensed, &text, &detail), 0);
  EXPECT_EQ(licensed, 1);
  EXPECT_EQ(Utf8(Take(text)), "kelmorrow simulated configuration library");

  ComPtr<IqvSysPropertyBag> settings;
  EXPECT_EQ(second->ImportConfiguration(settings.Put(), &text, &detail), 0);
  EXPECT_EQ(Utf8(Take(text)), "test.json");
  std::uint32_t count = 9;
  EXPECT_EQ(settings->GetCount(&count), 0);
  EXPECT_EQ(count, 0u);

  EXPECT_EQ(framework_->SetTraceLevel(1, 5), platform::kE_INVALIDARG);
  EXPECT_EQ(framework_->SetTraceLevel(1, 3), 0);
  EXPECT_EQ(framework_->SetTargetEnabled(Wide(u"rt.lab").c_str(), 1), 0);
  auto diagnostics = As<morrowkit::IqvSysDiagnostics>(morrowkit::kIID_IqvSysDiagnostics);
  EXPECT_EQ(diagnostics->GetReport(&text, &detail), 0);
  std::string report = Utf8(Take(text));
  EXPECT_NE(report.find("trace: level 3\nconfiguration: modified\nfailed calls: 1\n"), std::string::npos) << report;
  EXPECT_NE(report.find("  SetTraceLevel 2\n"), std::string::npos) << report;
  EXPECT_EQ(framework_->SaveConfiguration(), 0);
  EXPECT_EQ(diagnostics->GetReport(&text, &detail), 0);
  EXPECT_NE(Utf8(Take(text)).find("configuration: saved\n"), std::string::npos);
  std::uint32_t errors = 0;
  EXPECT_EQ(diagnostics->GetErrorCount(&errors), 0);
  EXPECT_EQ(errors, 1u);
}

TEST_F(FrameworkTest, ReservedSlotsAreNotImplemented) {
  auto second = As<morrowkit::IqvSysFramework2>(morrowkit::kIID_IqvSysFramework2);
  for (HRESULT result : {second->Reserved18(), second->Reserved19(), second->Reserved20(), second->Reserved21(),
                         second->Reserved29(), second->Reserved30(), second->Reserved31(), second->Reserved32()}) {
    EXPECT_EQ(result, kE_NotImpl);
  }
}

}  // namespace
}  // namespace kelmorrow_test
