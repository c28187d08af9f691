// kronel-names: the names Zentro's drop-down would offer, from the real
// plug-in, for any hardware that can be described.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "change_script.h"
#include "dump.h"
#include "hardware.h"
#include "hresult_text.h"
#include "interrupt.h"
#include "json_report.h"
#include "library_activity.h"
#include "morrow_library.h"
#include "morrowkit/hresult_exception.h"
#include "options.h"
#include "plugin_host.h"
#include "sample_description.h"
#include "session.h"
#include "table_report.h"

namespace kronel_names {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitPluginFailure = 1;
constexpr int kExitBadInput = 2;
constexpr int kExitInterrupted = 130;

// Input that cannot be used: exit code 2.
class InputError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw InputError(path + ": cannot be opened");
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw InputError(path + ": cannot be read");
  return text.str();
}

void LoadIntoLibrary(const SimulationControl& control, const std::string& text, const std::string& source) {
  char error[1024] = "";
  if (control.loadText(text.c_str(), source.c_str(), error, sizeof error) != 0) throw InputError(error);
}

// Every change of the script, tried on the library before the run, so that a
// change it refuses (a removal of a record that is not there by then) stops
// the run before anything is shown.
void TryScript(const SimulationControl& control, const ChangeScript& script, const std::string& hardwareText,
               const std::string& hardwareSource) {
  for (const Step& step : script.steps) {
    if (!step.ChangesRecords()) continue;
    char error[1024] = "";
    if (control.applyChange(step.target.c_str(), step.change.c_str(), script.source.c_str(), error,
                            sizeof error) != 0) {
      throw InputError(error);
    }
  }
  control.reset();
  LoadIntoLibrary(control, hardwareText, hardwareSource);
}

std::vector<std::string> TargetsToAsk(const Options& options, const Hardware* hardware,
                                      const ChangeScript* script) {
  if (!options.targets.empty()) return options.targets;
  std::vector<std::string> targets;
  if (hardware != nullptr) targets = hardware->describedTargets();
  if (script != nullptr) {
    for (const std::string& target : script->ChangedTargets()) {
      if (std::find(targets.begin(), targets.end(), target) == targets.end()) targets.push_back(target);
    }
  }
  if (targets.empty()) targets.push_back(std::string());
  return targets;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of("/\\") + 1); }

bool IsFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

std::unique_ptr<PluginHost> LoadPlugin(const std::string& path, bool installed) {
  try {
    return std::make_unique<PluginHost>(path);
  } catch (const PluginError&) {
    // The plug-in is there but did not load: most likely its library did not.
    if (installed && IsFile(path)) MorrowLibrary::CheckLoadable(FolderOf(path));
    throw;
  }
}

int RunDump(const std::vector<std::string>& targets, const MorrowLibrary& library) {
  Dump dump;
  try {
    dump = DumpTargets(targets);
  } catch (const morrowkit::HResultException& failure) {
    std::cerr << "kronel-names: the library failed: kelsysInstantiateFramework2 fails with "
              << HResultText(failure.Code()) << "\n";
    return kExitPluginFailure;
  }
  std::cout << dump.description << std::flush;
  std::cerr << "kronel-names: " << dump.records << (dump.records == 1 ? " record" : " records") << " of "
            << targets.size() << (targets.size() == 1 ? " target" : " targets") << " from " << library.path()
            << "\n";
  for (const std::string& failure : dump.failures)
    std::cerr << "kronel-names: the library failed: " << failure << "\n";
  return dump.failures.empty() ? kExitOk : kExitPluginFailure;
}

int Run(const Options& options) {
  const std::string pluginPath = options.plugin ? *options.plugin : DefaultPluginPath();
  const bool embedded = !options.installed && !options.hardwareFile;
  std::string hardwareSource;
  std::string hardwareText;
  std::unique_ptr<Hardware> hardware;
  std::optional<MorrowLibrary> library;
  std::unique_ptr<ChangeScript> script;
  if (!options.installed) {
    hardwareSource = embedded ? kSampleSourceName : *options.hardwareFile;
    hardwareText = embedded ? std::string(kSampleDescription) : ReadFile(hardwareSource);
    // The tool's own reading first: it sees the whole text, the library's stops at a NUL byte.
    hardware = std::make_unique<Hardware>(hardwareText, hardwareSource);
    library.emplace(MorrowLibrary::Simulated());
    const SimulationControl& control = *library->control();
    LoadIntoLibrary(control, hardwareText, hardwareSource);
    if (options.watchScript) {
      script = std::make_unique<ChangeScript>(
          ParseChangeScript(ReadFile(*options.watchScript), *options.watchScript,
                            [&](const std::string& name) { return IsLibraryOperation(control, name); }));
      TryScript(control, *script, hardwareText, hardwareSource);
    }
  }

  std::unique_ptr<PluginHost> host = LoadPlugin(pluginPath, options.installed);
  if (options.installed) {
    library.emplace(MorrowLibrary::BoundToPlugin());
  } else if (platform::GetModuleHandleA("kelmorrow.dll") != library->module()) {
    throw PluginError(host->path() + ": the plug-in has bound to another configuration library than " +
                      library->path());
  }
  const SimulationControl* control = library->control();
  const std::vector<std::string> targets = TargetsToAsk(options, hardware.get(), script.get());
  if (options.dump) {
    const int exitCode = RunDump(targets, *library);
    if (control != nullptr) control->shutdown();
    return exitCode;
  }

  RunInfo info{KRONEL_VERSION,        host->path(),   library->path(), options.installed,
               library->simulation(), hardwareSource, embedded,        options.explain};
  std::unique_ptr<Report> report;
  if (options.json) {
    report = std::make_unique<JsonReport>(std::cout, info, script != nullptr);
  } else {
    report = std::make_unique<TableReport>(std::cout, info);
  }

  CatchInterrupt();
  Session session(*host, hardware.get(), control, *report, targets);
  bool ok = true;
  try {
    ok = session.ListAll();
    if (script && !session.interrupted()) ok = session.Watch(*script) && ok;
  } catch (...) {
    // Nothing of the plug-in may still run when the process ends.
    session.Close();
    if (control != nullptr) control->shutdown();
    throw;
  }
  if (!session.Close()) {
    std::cerr
        << "kronel-names: the library still holds objects after the application references were released\n";
    ok = false;
  }
  if (control != nullptr) control->shutdown();
  for (const std::string& problem : session.problems()) std::cerr << "kronel-names: " << problem << "\n";
  if (session.interrupted()) return kExitInterrupted;
  return ok ? kExitOk : kExitPluginFailure;
}

}  // namespace
}  // namespace kronel_names

int main(int argc, char** argv) {
  using namespace kronel_names;
  try {
    const Options options = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.help) {
      std::cout << HelpText();
      return kExitOk;
    }
    if (options.version) {
      std::cout << "kronel-names " << KRONEL_VERSION << "\n";
      return kExitOk;
    }
    return Run(options);
  } catch (const UsageError& error) {
    std::cerr << "kronel-names: " << error.what() << "\nTry 'kronel-names --help'.\n";
    return kExitBadInput;
  } catch (const InputError& error) {
    std::cerr << "kronel-names: " << error.what() << "\n";
    return kExitBadInput;
  } catch (const kelmorrow::DescriptionError& error) {
    std::cerr << "kronel-names: " << error.what() << "\n";
    return kExitBadInput;
  } catch (const ScriptError& error) {
    std::cerr << "kronel-names: " << error.what() << "\n";
    return kExitBadInput;
  } catch (const LibraryError& error) {
    std::cerr << "kronel-names: " << error.what() << "\n";
    return kExitBadInput;
  } catch (const PluginError& error) {
    std::cerr << "kronel-names: " << error.what() << "\n";
    return kExitPluginFailure;
  } catch (const std::exception& error) {
    std::cerr << "kronel-names: " << error.what() << "\n";
    return kExitPluginFailure;
  }
}
