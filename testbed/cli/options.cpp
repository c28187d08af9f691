#include "options.h"

#include <algorithm>

namespace kronel_names {
namespace {

struct ValueOption {
  const char* name;
  const char* what;  // for "needs ..." messages
};

constexpr ValueOption kHardware = {"--hardware", "a file"};
constexpr ValueOption kTarget = {"--target", "a URL (\"\" for the local machine)"};
constexpr ValueOption kWatch = {"--watch", "a change script"};
constexpr ValueOption kPlugin = {"--plugin", "a file"};
constexpr ValueOption kLibrary = {"--library", "sample, installed or a hardware description"};

std::string Quote(const std::string& text) { return "'" + text + "'"; }

void SetOnce(std::optional<std::string>& slot, const ValueOption& option, std::string value) {
  if (slot) throw UsageError(std::string("option ") + option.name + " is given twice");
  slot = std::move(value);
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& arguments) {
  Options options;
  std::optional<std::string> library;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    std::optional<std::string> inlineValue;
    if (argument.rfind("--", 0) == 0) {
      std::size_t equals = argument.find('=');
      if (equals != std::string::npos) {
        inlineValue = argument.substr(equals + 1);
        argument.resize(equals);
      }
    }
    auto takeValue = [&](const ValueOption& option) {
      if (inlineValue) return *inlineValue;
      if (i + 1 >= arguments.size())
        throw UsageError(std::string("option ") + option.name + " needs " + option.what);
      return arguments[++i];
    };
    auto flag = [&](bool& slot) {
      if (inlineValue) throw UsageError("option " + argument + " takes no value");
      slot = true;
    };

    if (argument == kHardware.name) {
      SetOnce(options.hardwareFile, kHardware, takeValue(kHardware));
    } else if (argument == kTarget.name) {
      std::string target = takeValue(kTarget);
      // One application reference per URL: two for the same URL would share one cache.
      if (std::find(options.targets.begin(), options.targets.end(), target) == options.targets.end()) {
        options.targets.push_back(target);
      }
    } else if (argument == kWatch.name) {
      SetOnce(options.watchScript, kWatch, takeValue(kWatch));
    } else if (argument == kPlugin.name) {
      SetOnce(options.plugin, kPlugin, takeValue(kPlugin));
    } else if (argument == kLibrary.name) {
      SetOnce(library, kLibrary, takeValue(kLibrary));
    } else if (argument == "--dump") {
      flag(options.dump);
    } else if (argument == "--json") {
      flag(options.json);
    } else if (argument == "--explain") {
      flag(options.explain);
    } else if (argument == "--help" || argument == "-h") {
      flag(options.help);
    } else if (argument == "--version") {
      flag(options.version);
    } else if (argument.size() > 1 && argument[0] == '-') {
      throw UsageError("unknown option " + Quote(argument));
    } else {
      throw UsageError("unexpected argument " + Quote(argument) + " (options start with --)");
    }
  }
  if (options.hardwareFile && options.hardwareFile->empty())
    throw UsageError("option --hardware needs a file");
  if (options.watchScript && options.watchScript->empty())
    throw UsageError("option --watch needs a change script");
  if (options.plugin && options.plugin->empty()) throw UsageError("option --plugin needs a file");
  if (library && library->empty()) throw UsageError(std::string("option --library needs ") + kLibrary.what);
  if (library && *library == "installed") {
    options.installed = true;
    if (options.hardwareFile)
      throw UsageError("--hardware describes the simulated library; the installed one reports its own");
    if (options.watchScript)
      throw UsageError("--watch drives the simulated library; it cannot drive the installed one");
  } else if (library && *library != "sample") {
    if (options.hardwareFile) throw UsageError("--library and --hardware both name a description; give one");
    options.hardwareFile = *library;
  }
  if (options.dump && (options.explain || options.json || options.watchScript)) {
    throw UsageError("--dump prints a hardware description alone; leave out --explain, --json and --watch");
  }
  return options;
}

std::string HelpText() {
  return R"(Usage: kronel-names [OPTIONS]

Shows the names that Zentro's drop-down would offer for Kronel timing and
synchronisation resources. The tool loads the built plug-in the way the host
does, serves it through the simulated run-time engine (ztrt) and the
configuration library (kelmorrow: the simulated one, or the installed one),
asks for each target's list until it arrives, and prints it.

Options:
  --hardware FILE   the JSON hardware description to serve (default: the
                    embedded sample, testbed/samples/sample-hardware.json)
  --target URL      a target to ask about; repeat for more. "" is the local
                    machine. Default: every target the description names
                    (and, with --watch, every target the script changes)
  --explain         also list every record with the rule that kept or
                    dropped it
  --json            print JSON instead of tables (with --watch: one JSON
                    object per line, one per event)
  --watch SCRIPT    replay a JSON change script and print each new list as
                    it arrives, with the names added and removed; ends when
                    the script ends, or on Ctrl-C
  --library WHICH   the configuration library: "sample" (the default), the
                    simulated one with the embedded sample; a FILE.json, the
                    simulated one with that description; or "installed", the
                    kelmorrow library the plug-in finds on the DLL search
                    path, never the testbed's own copy beside this tool
  --dump            print the records of each target as the library reports
                    them, as a hardware description that --hardware replays
  --plugin FILE     the plug-in to load (default: kronel_ztprovider.dll in
                    ../plugin, else beside this tool)
  --version         print the version and exit
  -h, --help        print this help and exit

Exit codes:
  0    every list arrived
  1    the plug-in failed: it could not be loaded, answered 6 (no memory) or
       7 (failure), delivered no list within 10 s, or a list the discovery
       rules do not explain; or the library failed a FindHardware or a
       property read (shown with its HRESULT)
  2    bad usage or bad input (a file that cannot be read, malformed JSON,
       an unknown property name, a value of the wrong type), or no usable
       library (not found, no entry point, or the testbed's own copy)
  130  interrupted by Ctrl-C

Examples:
  kronel-names
  kronel-names --explain --target ""
  kronel-names --hardware my-rack.json --target rt-a.lab --json
  kronel-names --watch changes.json
  kronel-names --library installed --explain --target ""
  kronel-names --library installed --dump > my-machine.json
)";
}

}  // namespace kronel_names
