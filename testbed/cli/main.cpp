// kronel-names: the names Zentro's drop-down would offer, from the real
// plug-in, for any hardware that can be described.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "change_script.h"
#include "hardware.h"
#include "interrupt.h"
#include "json_report.h"
#include "kelsim.h"
#include "library_activity.h"
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

void LoadIntoLibrary(const std::string& text, const std::string& source) {
  char error[1024] = "";
  if (kelsimLoadText(text.c_str(), source.c_str(), error, sizeof error) != 0) throw InputError(error);
}

// Every change of the script, tried on the library before the run, so that a
// change it refuses (a removal of a record that is not there by then) stops
// the run before anything is shown.
void TryScript(const ChangeScript& script, const std::string& hardwareText, const std::string& hardwareSource) {
  for (const Step& step : script.steps) {
    if (!step.ChangesRecords()) continue;
    char error[1024] = "";
    if (kelsimApplyChange(step.target.c_str(), step.change.c_str(), script.source.c_str(), error, sizeof error) != 0) {
      throw InputError(error);
    }
  }
  kelsimReset();
  LoadIntoLibrary(hardwareText, hardwareSource);
}

std::vector<std::string> TargetsToAsk(const Options& options, const Hardware& hardware, const ChangeScript* script) {
  if (!options.targets.empty()) return options.targets;
  std::vector<std::string> targets = hardware.describedTargets();
  if (script != nullptr) {
    for (const std::string& target : script->ChangedTargets()) {
      if (std::find(targets.begin(), targets.end(), target) == targets.end()) targets.push_back(target);
    }
  }
  if (targets.empty()) targets.push_back(std::string());
  return targets;
}

int Run(const Options& options) {
  const bool embedded = !options.hardwareFile;
  const std::string hardwareSource = embedded ? kSampleSourceName : *options.hardwareFile;
  const std::string hardwareText = embedded ? std::string(kSampleDescription) : ReadFile(hardwareSource);
  // The tool's own reading first: it sees the whole text, the library's stops at a NUL byte.
  Hardware hardware(hardwareText, hardwareSource);
  LoadIntoLibrary(hardwareText, hardwareSource);

  std::unique_ptr<ChangeScript> script;
  if (options.watchScript) {
    script = std::make_unique<ChangeScript>(ParseChangeScript(ReadFile(*options.watchScript), *options.watchScript,
                                                              IsLibraryOperation));
    TryScript(*script, hardwareText, hardwareSource);
  }

  PluginHost host(options.plugin ? *options.plugin : DefaultPluginPath());
  RunInfo info{KRONEL_VERSION, host.path(), hardwareSource, embedded, options.explain};
  std::unique_ptr<Report> report;
  if (options.json) {
    report = std::make_unique<JsonReport>(std::cout, info, script != nullptr);
  } else {
    report = std::make_unique<TableReport>(std::cout, info);
  }

  CatchInterrupt();
  Session session(host, hardware, *report, TargetsToAsk(options, hardware, script.get()));
  bool ok = true;
  try {
    ok = session.ListAll();
    if (script && !session.interrupted()) ok = session.Watch(*script) && ok;
  } catch (...) {
    // Nothing of the plug-in may still run when the process ends.
    session.Close();
    kelsimShutdown();
    throw;
  }
  if (!session.Close()) {
    std::cerr << "kronel-names: the library still holds objects after the application references were released\n";
    ok = false;
  }
  kelsimShutdown();
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
  } catch (const PluginError& error) {
    std::cerr << "kronel-names: " << error.what() << "\n";
    return kExitPluginFailure;
  } catch (const std::exception& error) {
    std::cerr << "kronel-names: " << error.what() << "\n";
    return kExitPluginFailure;
  }
}
