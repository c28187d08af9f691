#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "support/tool_run.h"

namespace cli_test {
namespace {

// The C runtime joins the arguments with blanks and nothing more.
std::string Quoted(const std::string& argument) { return "\"" + argument + "\""; }

// Points a standard descriptor at a file until destroyed; the child inherits it.
class Redirect {
 public:
  Redirect(int fd, const std::string& path) : fd_(fd), saved_(_dup(fd)) {
    const int file = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (file >= 0) {
      _dup2(file, fd_);
      _close(file);
    }
  }
  ~Redirect() {
    _dup2(saved_, fd_);
    _close(saved_);
  }
  Redirect(const Redirect&) = delete;
  Redirect& operator=(const Redirect&) = delete;

 private:
  int fd_;
  int saved_;
};

}  // namespace

// Without a command interpreter in between: every Wine process start costs.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& out,
               const std::string& err) {
  std::vector<std::string> quoted{Quoted(program)};
  for (const std::string& argument : arguments) quoted.push_back(Quoted(argument));
  std::vector<const char*> argv;
  for (const std::string& argument : quoted) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  Redirect toOut(1, out);
  Redirect toErr(2, err);
  return static_cast<int>(_spawnv(_P_WAIT, (program + ".exe").c_str(), argv.data()));
}

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
