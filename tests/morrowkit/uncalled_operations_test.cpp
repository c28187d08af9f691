#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fakes/fake_enumerators.h"
#include "fakes/fake_property_bag.h"
#include "framework_fixture.h"
#include "support.h"

namespace morrowkit::test {
namespace {

constexpr HRESULT kBusy = static_cast<HRESULT>(0x800700AAu);

class UncalledOperationsTest : public FrameworkFixture {
 protected:
  void TearDown() override {
    FrameworkFixture::TearDown();
    EXPECT_EQ(bag_.references, 0u);
  }

  std::uint32_t Number(std::size_t i) const { return framework_.last.numbers.at(i); }
  const platform::WideString& Text(std::size_t i) const { return framework_.last.texts.at(i); }

  FakePropertyBag bag_;
};

struct Operation {
  const char* name;
  int slot;
  bool on_diagnostics;
  int line;
  std::function<void(Framework<PropertyBagHandle>&, const PropertyBagHandle&)> call;
};

// Each operation's slot, and its failure checked at its own line.
TEST_F(UncalledOperationsTest, EachFailsAtItsLine) {
  using F = Framework<PropertyBagHandle>;
  using B = const PropertyBagHandle&;
  const Operation operations[] = {
      {"GetLocalSystem", 10, false, 201, [](F& f, B) { f.GetLocalSystem(); }},
      {"FindHardwareByModel", 4, false, 233, [](F& f, B) { f.FindHardwareByModel("t", 7); }},
      {"GetSourceNames", 5, false, 247, [](F& f, B) { f.GetSourceNames("t"); }},
      {"FindHardwareByName", 6, false, 274, [](F& f, B) { f.FindHardwareByName("r"); }},
      {"GetComponents", 7, false, 289, [](F& f, B) { f.GetComponents("t"); }},
      {"SelectProperties", 9, false, 341, [](F& f, B b) { f.SelectProperties(b, {1}, false); }},
      {"RefreshTarget", 11, false, 349, [](F& f, B) { f.RefreshTarget("t", 5); }},
      {"SaveConfiguration", 12, false, 355, [](F& f, B) { f.SaveConfiguration(); }},
      {"ResolveAlias", 13, false, 371, [](F& f, B) { f.ResolveAlias("t", "a", 0); }},
      {"ValidateRecord", 14, false, 390, [](F& f, B b) { f.ValidateRecord(b, true); }},
      {"SetAlias", 15, false, 405, [](F& f, B) { f.SetAlias("t", "a", "r"); }},
      {"FormatProperty", 16, false, 413, [](F& f, B b) { f.FormatProperty(b, 1); }},
      {"SetTargetEnabled", 17, false, 428, [](F& f, B) { f.SetTargetEnabled("t", true); }},
      {"DescribeTarget", 22, false, 441, [](F& f, B) { f.DescribeTarget("t", true, 2); }},
      {"AddTarget", 23, false, 457, [](F& f, B) { f.AddTarget("t", "h", "d", true); }},
      {"UpdateTarget", 24, false, 474, [](F& f, B) { f.UpdateTarget("t", "h", "d", true); }},
      {"RenameTarget", 25, false, 486, [](F& f, B) { f.RenameTarget("t", "n"); }},
      {"ReserveResource", 26, false, 502, [](F& f, B) { f.ReserveResource("r", 3); }},
      {"SetTraceLevel", 27, false, 510, [](F& f, B) { f.SetTraceLevel(true, 3); }},
      {"GetLicenseState", 28, false, 526, [](F& f, B) { f.GetLicenseState(); }},
      {"ImportConfiguration", 33, false, 543, [](F& f, B) { f.ImportConfiguration(); }},
      {"ExportConfiguration", 34, false, 572, [](F& f, B) { f.ExportConfiguration(); }},
      {"FindAllHardware", 35, false, 583, [](F& f, B) { f.FindAllHardware(); }},
      {"GetDiagnosticReport", 4, true, 601, [](F& f, B) { f.GetDiagnosticReport(); }},
  };
  const PropertyBagHandle bag(&bag_);
  framework_.result = kBusy;
  for (const Operation& operation : operations) {
    SCOPED_TRACE(operation.name);
    framework_.calls = 0;
    const Thrown thrown = Catch([&] { operation.call(*handle_, bag); });
    EXPECT_EQ(framework_.calls, 1);
    EXPECT_EQ(framework_.last.slot, operation.slot);
    EXPECT_EQ(framework_.last.on_diagnostics, operation.on_diagnostics);
    EXPECT_EQ(thrown.code, kBusy);
    EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, operation.line));
  }
}

// Records handed back.
TEST_F(UncalledOperationsTest, GetLocalSystem) {
  framework_.out_record = &bag_;
  EXPECT_EQ(handle_->GetLocalSystem().Get(), &bag_);
}

TEST_F(UncalledOperationsTest, NullRecordIsUnexpected) {
  const Thrown thrown = Catch<UnexpectedException>([&] { handle_->FindHardwareByName("x"); });
  EXPECT_EQ(thrown.json, Location(kPropertyBagHandleFile, 39));
}

TEST_F(UncalledOperationsTest, FindHardwareByModel) {
  FakeItem refused;
  FakeRecordEnum records({&refused, &bag_});
  framework_.out_records = &records;
  const std::vector<PropertyBagHandle> found = handle_->FindHardwareByModel("rt\xC3\xA9", 0x7A2B);
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Get(), &bag_);
  EXPECT_EQ(Text(0), Wide(u"rt\u00e9"));
  EXPECT_EQ(Number(0), 0x7A2Bu);
  EXPECT_EQ(framework_.last.pointer, nullptr);
}

TEST_F(UncalledOperationsTest, FindHardwareByName) {
  framework_.out_record = &bag_;
  EXPECT_EQ(handle_->FindHardwareByName("Sync\xE2\x82\xAC").Get(), &bag_);
  EXPECT_EQ(Text(0), Wide(u"Sync\u20ac"));
}

TEST_F(UncalledOperationsTest, FindAllHardware) {
  FakeRecordEnum records({&bag_});
  framework_.out_records = &records;
  EXPECT_EQ(handle_->FindAllHardware().size(), 1u);
}

// Lists read from enumerators.
TEST_F(UncalledOperationsTest, GetSourceNames) {
  FakeStringEnum names({Wide(u"kelsyscfg"), Wide(u"n\u00e9t")});
  framework_.out_strings = &names;
  EXPECT_EQ(handle_->GetSourceNames("t\xC3\xA9"), (std::vector<std::string>{"kelsyscfg", "n\xC3\xA9t"}));
  EXPECT_EQ(Text(0), Wide(u"t\u00e9"));
}

TEST_F(UncalledOperationsTest, GetComponents) {
  FakeItem first, second;
  FakeRecordEnum items({&first, &second});
  framework_.out_records = &items;
  {
    const std::vector<ComPtr<IUnknown>> components = handle_->GetComponents("t");
    ASSERT_EQ(components.size(), 2u);
    EXPECT_EQ(components[1].Get(), &second);
    EXPECT_EQ(first.references, 1u);
  }
  EXPECT_EQ(first.references, 0u);
}

// Arguments passed through: records, tags, flags and numbers.
TEST_F(UncalledOperationsTest, SelectProperties) {
  const PropertyBagHandle bag(&bag_);
  framework_.result = platform::kS_FALSE;
  EXPECT_EQ(handle_->SelectProperties(bag, {0x1000, 0x2000}, true), platform::kS_FALSE);
  EXPECT_EQ(framework_.last.record, &bag_);
  EXPECT_EQ(framework_.last.tags, (std::vector<std::uint32_t>{0x1000, 0x2000}));
  EXPECT_EQ(Number(1), 1u);
}

TEST_F(UncalledOperationsTest, SelectPropertiesRefusesAnEmptyList) {
  const PropertyBagHandle bag(&bag_);
  const Thrown thrown = Catch<InvalidArgException>([&] { handle_->SelectProperties(bag, {}, false); });
  EXPECT_EQ(thrown.code, platform::kE_INVALIDARG);
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 336));
  EXPECT_EQ(framework_.calls, 0);
}

TEST_F(UncalledOperationsTest, TargetOperations) {
  handle_->RefreshTarget("a", 2500);
  EXPECT_EQ(Text(0), Wide(u"a"));
  EXPECT_EQ(Number(0), 2500u);
  handle_->SetAlias("a", "b", "c");
  EXPECT_EQ(framework_.last.texts, (std::vector<platform::WideString>{Wide(u"a"), Wide(u"b"), Wide(u"c")}));
  handle_->SetTargetEnabled("a", false);
  EXPECT_EQ(Number(0), 0u);
  handle_->AddTarget("a", "h\xC3\xA9", "d", true);
  EXPECT_EQ(Text(1), Wide(u"h\u00e9"));
  EXPECT_EQ(Number(0), 1u);
  EXPECT_EQ(framework_.last.pointer, nullptr);
  handle_->UpdateTarget("a", "h", "d\xC3\xA9", false);
  EXPECT_EQ(Text(2), Wide(u"d\u00e9"));
  EXPECT_EQ(Number(0), 0u);
  handle_->RenameTarget("a", "z");
  EXPECT_EQ(Text(1), Wide(u"z"));
}

TEST_F(UncalledOperationsTest, ResultCodesPassThrough) {
  framework_.result = platform::kS_FALSE;
  EXPECT_EQ(handle_->SaveConfiguration(), platform::kS_FALSE);
  EXPECT_EQ(handle_->SetTraceLevel(true, 4), platform::kS_FALSE);
  EXPECT_EQ(Number(0), 1u);
  EXPECT_EQ(Number(1), 4u);
}

// Texts handed back arrive in UTF-8; a null BSTR is an empty text.
TEST_F(UncalledOperationsTest, ResolveAlias) {
  framework_.out_number = 1;
  framework_.out_texts = {Wide(u"Sync\u00e9"), std::nullopt};
  const AliasResolution resolved = handle_->ResolveAlias("t", "al", 3);
  EXPECT_TRUE(resolved.found);
  EXPECT_EQ(resolved.resource_name, "Sync\xC3\xA9");
  EXPECT_EQ(resolved.target_name, "");
  EXPECT_EQ(Text(1), Wide(u"al"));
  EXPECT_EQ(Number(0), 3u);
}

TEST_F(UncalledOperationsTest, TextResults) {
  const PropertyBagHandle bag(&bag_);
  framework_.out_texts = {Wide(u"10 MHz")};
  EXPECT_EQ(handle_->FormatProperty(bag, 0x3000), "10 MHz");
  EXPECT_EQ(Number(0), 0x3000u);
  framework_.out_texts = {Wide(u"rt \u20ac")};
  EXPECT_EQ(handle_->DescribeTarget("t", true, 2), "rt \xE2\x82\xAC");
  EXPECT_EQ(framework_.last.numbers, (std::vector<std::uint32_t>{1, 2}));
}

TEST_F(UncalledOperationsTest, ResultsWithDetail) {
  const PropertyBagHandle bag(&bag_);
  framework_.out_number = 1;
  framework_.out_texts = {Wide(u"text"), Wide(u"detail")};
  const RecordValidation validation = handle_->ValidateRecord(bag, false);
  EXPECT_TRUE(validation.valid);
  EXPECT_EQ(validation.report, "text");
  EXPECT_EQ(Number(0), 0u);
  framework_.out_number = -3;
  EXPECT_EQ(handle_->ReserveResource("r", 9).previous_owner, -3);
  EXPECT_EQ(Number(0), 9u);
  framework_.out_number = 0;
  const LicenseState license = handle_->GetLicenseState();
  EXPECT_FALSE(license.licensed);
  EXPECT_EQ(license.text, "text");
  EXPECT_TRUE(handle_->ExportConfiguration().text == "text");
  EXPECT_EQ(handle_->GetDiagnosticReport(), "text");
  framework_.out_record = &bag_;
  const ImportedConfiguration<PropertyBagHandle> imported = handle_->ImportConfiguration();
  EXPECT_EQ(imported.settings.Get(), &bag_);
  EXPECT_EQ(imported.source, "text");
}

// A failure's detailed text is the message of the exception.
TEST_F(UncalledOperationsTest, DetailIsTheFailureMessage) {
  const PropertyBagHandle bag(&bag_);
  framework_.result = kBusy;
  framework_.out_texts = {std::nullopt, Wide(u"held by \u00e9")};
  for (const Thrown& thrown : {Catch([&] { handle_->ValidateRecord(bag, true); }),
                               Catch([&] { handle_->ReserveResource("r", 1); }),
                               Catch([&] { handle_->GetLicenseState(); }),
                               Catch([&] { handle_->ImportConfiguration(); }),
                               Catch([&] { handle_->ExportConfiguration(); }),
                               Catch([&] { handle_->GetDiagnosticReport(); })}) {
    EXPECT_EQ(thrown.code, kBusy);
    EXPECT_EQ(thrown.message, "held by \xC3\xA9");
  }
  framework_.out_texts = {};
  EXPECT_EQ(Catch([&] { handle_->GetLicenseState(); }).message, "");
}

// An older library without the interface: the query's failure at the operation's line.
TEST_F(UncalledOperationsTest, MissingInterfaceThrowsTheQueryFailure) {
  framework_.newer = false;
  const std::pair<std::function<void()>, int> operations[] = {
      {[&] { handle_->GetLicenseState(); }, 526},  {[&] { handle_->ImportConfiguration(); }, 543},
      {[&] { handle_->ExportConfiguration(); }, 572}, {[&] { handle_->FindAllHardware(); }, 583},
      {[&] { handle_->GetDiagnosticReport(); }, 601},
  };
  for (const auto& [call, line] : operations) {
    const Thrown thrown = Catch(call);
    EXPECT_EQ(thrown.code, platform::kE_NOINTERFACE);
    EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, line));
  }
  EXPECT_EQ(framework_.calls, 0);
}

}  // namespace
}  // namespace morrowkit::test
