#include <cstdlib>

#include "support/tool_run.h"

namespace cli_test {

std::string LibraryFile(const std::string& name) { return name + ".dll"; }

ScopedVariable::ScopedVariable(const std::string& name, const std::string& value) : name_(name) {
  const char* current = std::getenv(name.c_str());
  had_ = current != nullptr;
  if (had_) saved_ = current;
  _putenv_s(name.c_str(), value.c_str());
}

// An empty value removes the variable.
ScopedVariable::~ScopedVariable() { _putenv_s(name_.c_str(), had_ ? saved_.c_str() : ""); }

namespace {

std::string Prepended(const char* name, const std::string& folder) {
  const char* current = std::getenv(name);
  return current != nullptr && *current != '\0' ? folder + ";" + current : folder;
}

}  // namespace

SearchPathFirst::SearchPathFirst(const std::string& folder) : path_("PATH", Prepended("PATH", folder)) {}

}  // namespace cli_test
