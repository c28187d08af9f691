#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "../support.h"
#include "sim_fixture.h"

namespace morrowkit::sim_test {
namespace {

using test::Catch;
using test::Location;
using test::Thrown;

constexpr HRESULT kBusy = static_cast<HRESULT>(0x800700AAu);

using OperationsSimTest = SimTest;

struct Operation {
  const char* method;
  int line;
  std::function<void(Framework<PropertyBagHandle>&, const PropertyBagHandle&)> call;
};

// Each operation reaches its library method once; a failure is checked at its line.
TEST_F(OperationsSimTest, EachReachesItsMethodAndFailsAtItsLine) {
  using F = Framework<PropertyBagHandle>;
  using B = const PropertyBagHandle&;
  const Operation operations[] = {
      {"GetLocalSystem", 201, [](F& f, B) { f.GetLocalSystem(); }},
      {"FindHardwareByModel", 233, [](F& f, B) { f.FindHardwareByModel("", 1); }},
      {"GetSourceNames", 247, [](F& f, B) { f.GetSourceNames(""); }},
      {"FindHardwareByName", 274, [](F& f, B) { f.FindHardwareByName("Rack1Slot2"); }},
      {"GetComponents", 289, [](F& f, B) { f.GetComponents(""); }},
      {"SelectProperties", 341, [](F& f, B b) { f.SelectProperties(b, {kTagStatus}, true); }},
      {"RefreshTarget", 349, [](F& f, B) { f.RefreshTarget("", 0); }},
      {"SaveConfiguration", 355, [](F& f, B) { f.SaveConfiguration(); }},
      {"ResolveAlias", 371, [](F& f, B) { f.ResolveAlias("", "timing", 0); }},
      {"ValidateRecord", 390, [](F& f, B b) { f.ValidateRecord(b, true); }},
      {"SetAlias", 405, [](F& f, B) { f.SetAlias("", "a", "Rack1Slot2"); }},
      {"FormatProperty", 413, [](F& f, B b) { f.FormatProperty(b, kTagStatus); }},
      {"SetTargetEnabled", 428, [](F& f, B) { f.SetTargetEnabled("", true); }},
      {"DescribeTarget", 441, [](F& f, B) { f.DescribeTarget("", false, 0); }},
      {"AddTarget", 457, [](F& f, B) { f.AddTarget("new.lab", "h", "d", false); }},
      {"UpdateTarget", 474, [](F& f, B) { f.UpdateTarget("", "h", "d", true); }},
      {"RenameTarget", 486, [](F& f, B) { f.RenameTarget("down.lab", "up.lab"); }},
      {"ReserveResource", 502, [](F& f, B) { f.ReserveResource("Rack1Slot2", 1); }},
      {"SetTraceLevel", 510, [](F& f, B) { f.SetTraceLevel(true, 1); }},
      {"GetLicenseState", 526, [](F& f, B) { f.GetLicenseState(); }},
      {"ImportConfiguration", 543, [](F& f, B) { f.ImportConfiguration(); }},
      {"ExportConfiguration", 572, [](F& f, B) { f.ExportConfiguration(); }},
      {"FindAllHardware", 583, [](F& f, B) { f.FindAllHardware(); }},
      {"GetReport", 601, [](F& f, B) { f.GetDiagnosticReport(); }},
  };
  const PropertyBagHandle record = handle_->FindHardware("")[0];
  for (const Operation& operation : operations) {
    SCOPED_TRACE(operation.method);
    test_support::kelsim::FailCall(operation.method, 0, kBusy);
    const Thrown thrown = Catch([&] { operation.call(*handle_, record); });
    EXPECT_EQ(thrown.code, kBusy);
    EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, operation.line));
    EXPECT_EQ(kelsimCallCount(operation.method), 1u);
    kelsimClearFailures();
  }
}

// The library's detailed text of a failure is the exception's message.
TEST_F(OperationsSimTest, InjectedDetailIsTheMessage) {
  const PropertyBagHandle record = handle_->FindHardware("")[0];
  test_support::kelsim::FailCall("ValidateRecord", 0, kBusy);
  EXPECT_EQ(Catch([&] { handle_->ValidateRecord(record, false); }).message, "injected failure of ValidateRecord");
  test_support::kelsim::FailCall("GetReport", 0, kBusy);
  EXPECT_EQ(Catch([&] { handle_->GetDiagnosticReport(); }).message, "injected failure of GetReport");
}

TEST_F(OperationsSimTest, ReservationConflictCarriesTheLibrarysText) {
  const ResourceReservation first = handle_->ReserveResource("Rack1Slot2", 7);
  EXPECT_EQ(first.previous_owner, 0);
  EXPECT_EQ(first.holder, "owner 7");
  const Thrown thrown = Catch([&] { handle_->ReserveResource("Rack1Slot2", 8); });
  EXPECT_EQ(thrown.code, kBusy);
  EXPECT_EQ(thrown.message, "resource \"Rack1Slot2\" is reserved by owner 7");
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 502));
}

// A library without the newer interfaces: the query's failure at the operation's line.
TEST_F(OperationsSimTest, RefusedQueryThrowsAtTheOperationsLine) {
  const std::pair<std::function<void()>, int> operations[] = {
      {[&] { handle_->GetLicenseState(); }, 526},     {[&] { handle_->ImportConfiguration(); }, 543},
      {[&] { handle_->ExportConfiguration(); }, 572}, {[&] { handle_->FindAllHardware(); }, 583},
      {[&] { handle_->GetDiagnosticReport(); }, 601},
  };
  for (const auto& [call, line] : operations) {
    test_support::kelsim::FailCall("QueryInterface", 1, platform::kE_NOINTERFACE);
    const Thrown thrown = Catch(call);
    EXPECT_EQ(thrown.code, platform::kE_NOINTERFACE);
    EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, line));
  }
  for (const char* method :
       {"GetLicenseState", "ImportConfiguration", "ExportConfiguration", "FindAllHardware", "GetReport"}) {
    EXPECT_EQ(kelsimCallCount(method), 0u) << method;
  }
}

// Records and lists.
TEST_F(OperationsSimTest, RecordLookups) {
  EXPECT_EQ(handle_->GetLocalSystem().GetString(kTagResourceName), "Rack1Slot2");
  EXPECT_EQ(handle_->FindHardwareByName("Dev1 \xE2\x80\x93 \xCE\xA9 \xED\xA0\xB4\xED\xB4\x9E").GetUInt32(kTagModelCode),
            0x72FBu);
  const std::vector<PropertyBagHandle> models = handle_->FindHardwareByModel("", 0x7066);
  ASSERT_EQ(models.size(), 1u);
  EXPECT_EQ(models[0].GetString(kTagResourceName), "Rack1Slot2");
  EXPECT_EQ(handle_->FindAllHardware().size(), 4u);
}

TEST_F(OperationsSimTest, Lists) {
  EXPECT_EQ(handle_->GetSourceNames(""), (std::vector<std::string>{"kelsyscfg", "last", "network"}));
  EXPECT_EQ(handle_->GetComponents("").size(), 4u);
}

TEST_F(OperationsSimTest, SelectProperties) {
  const PropertyBagHandle record = handle_->FindHardware("")[0];
  EXPECT_EQ(handle_->SelectProperties(record, {kTagStatus, kTagModelCode, 0x7000}, true), 2);
  const Thrown thrown = Catch<InvalidArgException>([&] { handle_->SelectProperties(record, {}, true); });
  EXPECT_EQ(thrown.json, Location(kFrameworkHandleFile, 336));
  EXPECT_EQ(kelsimCallCount("SelectProperties"), 1u);
}

TEST_F(OperationsSimTest, RecordTexts) {
  const PropertyBagHandle record = handle_->FindHardware("")[0];
  const RecordValidation validation = handle_->ValidateRecord(record, true);
  EXPECT_TRUE(validation.valid);
  EXPECT_EQ(validation.report, "valid");
  EXPECT_EQ(handle_->FormatProperty(record, kTagResourceName), "Rack1Slot2");
  EXPECT_EQ(handle_->FormatProperty(record, kTagModelCode), "28774");
}

// Targets and aliases, with texts both ways.
TEST_F(OperationsSimTest, Aliases) {
  const AliasResolution timing = handle_->ResolveAlias("", "timing", 0);
  EXPECT_TRUE(timing.found);
  EXPECT_EQ(timing.resource_name, "Rack1Slot2");
  EXPECT_EQ(timing.target_name, "");
  EXPECT_FALSE(handle_->ResolveAlias("", "sync-\xC3\xA9", 0).found);
  handle_->SetAlias("", "sync-\xC3\xA9", "Remote1");
  EXPECT_EQ(handle_->ResolveAlias("", "sync-\xC3\xA9", 0).resource_name, "Remote1");
}

TEST_F(OperationsSimTest, TargetLifecycle) {
  handle_->AddTarget("new.lab", "host-\xC3\xBC", "first", false);
  EXPECT_EQ(handle_->DescribeTarget("new.lab", false, 0),
            "target \"new.lab\": 0 records, enabled, host \"host-\xC3\xBC\", description \"first\"\n");
  handle_->UpdateTarget("new.lab", "h2", "second", false);
  handle_->RenameTarget("new.lab", "renamed.lab");
  EXPECT_EQ(handle_->DescribeTarget("renamed.lab", false, 0),
            "target \"renamed.lab\": 0 records, disabled, host \"h2\", description \"second\"\n");
  handle_->RefreshTarget("renamed.lab", 1000);
  EXPECT_EQ(kelsimCallCount("RefreshTarget"), 1u);
}

TEST_F(OperationsSimTest, DisabledTargetIsNotReady) {
  handle_->SetTargetEnabled("rt-\xC3\xA9.lab", false);
  EXPECT_EQ(Catch([&] { handle_->FindHardware("rt-\xC3\xA9.lab"); }).code, static_cast<HRESULT>(0x80070015u));
}

// Library-wide settings and reports.
TEST_F(OperationsSimTest, ConfigurationAndReports) {
  EXPECT_EQ(handle_->SetTraceLevel(true, 3), platform::kS_OK);
  EXPECT_EQ(handle_->SaveConfiguration(), platform::kS_OK);
  const LicenseState license = handle_->GetLicenseState();
  EXPECT_TRUE(license.licensed);
  EXPECT_EQ(license.text, "Simulated licence");
  const ImportedConfiguration<PropertyBagHandle> imported = handle_->ImportConfiguration();
  EXPECT_EQ(imported.settings.GetString(0x2002000), "nightly");
  EXPECT_FALSE(imported.source.empty());
  EXPECT_NE(handle_->ExportConfiguration().text.find("Rack1Slot2"), std::string::npos);
  const std::string report = handle_->GetDiagnosticReport();
  EXPECT_NE(report.find("framework flags: 1 1"), std::string::npos);
  EXPECT_NE(report.find("trace: level 3"), std::string::npos);
}

}  // namespace
}  // namespace morrowkit::sim_test
