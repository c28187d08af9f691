// The installed library: the one the plug-in binds to from its own folder,
// never the testbed's copy beside the tool. A copy of the simulated library
// in a folder of its own on the search path stands in for it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/tool_run.h"

namespace cli_test {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;

std::string Built(const std::string& name) { return ProgramFolder() + LibraryFile(name); }

bool SameFile(const std::string& a, const std::string& b) { return std::filesystem::equivalent(a, b); }

// Windows spells a path with either separator.
std::string Slashed(std::string text) {
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

// The package's layout: the plug-in alone in plugin/, the library elsewhere.
class InstalledLibrary : public ::testing::Test {
 protected:
  std::string PluginCopy() const {
    return scratch_.Copy(Built("kronel_ztprovider"), "plugin", LibraryFile("kronel_ztprovider"));
  }
  std::string LibraryCopy(const std::string& from) const {
    return scratch_.Copy(from, "installed", LibraryFile("kelmorrow"));
  }
  std::string InstalledFolder() const { return scratch_.Folder("installed"); }

  ScratchFolder scratch_;
};

TEST_F(InstalledLibrary, IsTheOneThePluginBindsToAndIsReadThroughTheContract) {
  const std::string plugin = PluginCopy();
  const std::string library = LibraryCopy(Built("kelmorrow"));
  SearchPathFirst path(InstalledFolder());
  const ToolRun run = RunTool({"--library", "installed", "--plugin", plugin, "--json", "--explain"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const json document = json::parse(run.out);
  EXPECT_TRUE(SameFile(document.at("library").get<std::string>(), library)) << document.at("library");
  EXPECT_TRUE(SameFile(document.at("plugin").get<std::string>(), plugin)) << document.at("plugin");
  EXPECT_EQ(document.at("libraryInstalled"), true);
  // Where an installed library lies, a copy of the simulation counts as installed, and is shown as what it
  // is.
  EXPECT_EQ(document.at("librarySimulation"), true);
  EXPECT_EQ(document.at("hardware"), nullptr);
  ASSERT_EQ(document.at("targets").size(), 1u);
  EXPECT_EQ(document.at("targets").at(0).at("target"), "");
  EXPECT_EQ(document.at("targets").at(0).at("explained"), true);

  const ToolRun dump = RunTool({"--library", "installed", "--plugin", plugin, "--dump"});
  ASSERT_EQ(dump.exitCode, 0) << dump.err;
  EXPECT_EQ(json::parse(dump.out), json::parse(R"({"targets": {"": {"records": []}}})"));
  EXPECT_THAT(dump.err, HasSubstr("0 records of 1 target from "));
}

TEST_F(InstalledLibrary, TheTestbedsOwnCopyIsRefused) {
  // Beside the tool, as in the build tree, the plug-in binds to the simulated library there.
  const ToolRun run = RunTool({"--library", "installed", "--plugin", Built("kronel_ztprovider")});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_THAT(run.err, HasSubstr(LibraryFile("kelmorrow") +
                                 ": this is the testbed's simulated library beside kronel-names"));
}

struct Unusable {
  const char* what;
  std::string (*make)(const ScratchFolder& scratch);  // the library file, or "" for none
  const char* message;
};

const Unusable kUnusable[] = {
    {"none", [](const ScratchFolder&) { return std::string(); },
     ": no library of that name on the search path (searched "},
    {"not a module",
     [](const ScratchFolder& scratch) {
       return scratch.Write("installed", LibraryFile("kelmorrow"), "not a module\n");
     },
     ": the library cannot be loaded: "},
    // A module without the entry point: the engine's, under the library's name.
    {"no entry point",
     [](const ScratchFolder& scratch) {
       return scratch.Copy(Built("ztrt"), "installed", LibraryFile("kelmorrow"));
     },
     ": the library has no entry point kelsysInstantiateFramework2"},
};

TEST_F(InstalledLibrary, AnUnusableLibraryIsNamedWithTheReason) {
  const std::string plugin = PluginCopy();
  for (const Unusable& unusable : kUnusable) {
    SCOPED_TRACE(unusable.what);
    const std::string library = unusable.make(scratch_);
    SearchPathFirst path(InstalledFolder());
    const ToolRun run = RunTool({"--library", "installed", "--plugin", plugin});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    const std::string named = library.empty() ? LibraryFile("kelmorrow") : library;
    EXPECT_THAT(Slashed(run.err), HasSubstr(Slashed("kronel-names: " + named + unusable.message))) << run.err;
    if (library.empty()) {
      EXPECT_THAT(Slashed(run.err), HasSubstr(Slashed(scratch_.Folder("plugin"))));
    } else {
      std::filesystem::remove(library);
    }
  }
}

// The package: kronel-names and the simulated modules in testbed/, the plug-in in plugin/.
TEST_F(InstalledLibrary, ThePackagedToolFindsThePluginInPluginFolder) {
  const std::string plugin = PluginCopy();
  std::string tool =
      scratch_.Copy(ProgramFolder() + "kronel-names" + (LibraryFile("x") == "x.dll" ? ".exe" : ""), "testbed",
                    std::string("kronel-names") + (LibraryFile("x") == "x.dll" ? ".exe" : ""));
  std::filesystem::permissions(tool, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
  for (const char* module : {"ztrt", "kelmorrow"})
    scratch_.Copy(Built(module), "testbed", LibraryFile(module));
  tool = scratch_.Folder("testbed") + "kronel-names";

  const ToolRun sample = RunProgramAt(tool, {"--json", "--target", "rt-a.lab"});
  ASSERT_EQ(sample.exitCode, 0) << sample.err;
  const json document = json::parse(sample.out);
  EXPECT_TRUE(SameFile(document.at("plugin").get<std::string>(), plugin)) << document.at("plugin");
  EXPECT_TRUE(SameFile(document.at("library").get<std::string>(),
                       scratch_.Folder("testbed") + LibraryFile("kelmorrow")));
  EXPECT_EQ(document.at("targets").at(0).at("names").size(), 2u);

  const ToolRun none = RunProgramAt(tool, {"--library", "installed"});
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_THAT(none.err, HasSubstr(": no library of that name on the search path"));

  const std::string library = LibraryCopy(Built("kelmorrow"));
  SearchPathFirst path(InstalledFolder());
  const ToolRun installed = RunProgramAt(tool, {"--library", "installed", "--json"});
  ASSERT_EQ(installed.exitCode, 0) << installed.err;
  EXPECT_TRUE(SameFile(json::parse(installed.out).at("library").get<std::string>(), library));
}

}  // namespace
}  // namespace cli_test
