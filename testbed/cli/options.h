#pragma once
// The command line of kronel-names.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kronel_names {

struct Options {
  std::optional<std::string> hardwareFile;  // none: the embedded sample
  std::vector<std::string> targets;         // none: the targets of the description
  std::optional<std::string> watchScript;
  std::optional<std::string> plugin;  // none: ../plugin, else beside the tool
  bool installed = false;             // --library installed
  bool json = false;
  bool explain = false;
  bool dump = false;
  bool help = false;
  bool version = false;
};

// A command line that cannot be run: exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws UsageError.
Options ParseOptions(const std::vector<std::string>& arguments);

std::string HelpText();

}  // namespace kronel_names
