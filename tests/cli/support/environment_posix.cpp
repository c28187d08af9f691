#include <stdlib.h>

#include "support/tool_run.h"

namespace cli_test {

std::string LibraryFile(const std::string& name) { return "lib" + name + ".so"; }

ScopedVariable::ScopedVariable(const std::string& name, const std::string& value) : name_(name) {
  const char* current = getenv(name.c_str());
  had_ = current != nullptr;
  if (had_) saved_ = current;
  setenv(name.c_str(), value.c_str(), 1);
}

ScopedVariable::~ScopedVariable() {
  if (had_) {
    setenv(name_.c_str(), saved_.c_str(), 1);
  } else {
    unsetenv(name_.c_str());
  }
}

namespace {

std::string Prepended(const char* name, const std::string& folder, char separator) {
  const char* current = getenv(name);
  return current != nullptr && *current != '\0' ? folder + separator + current : folder;
}

}  // namespace

SearchPathFirst::SearchPathFirst(const std::string& folder)
    : path_("LD_LIBRARY_PATH", Prepended("LD_LIBRARY_PATH", folder, ':')) {}

}  // namespace cli_test
