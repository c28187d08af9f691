#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/tool_run.h"

namespace cli_test {

int RunProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& out,
               const std::string& err) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = fork();
  if (child == -1) return -1;
  if (child == 0) {
    const int outFd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(126);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

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
