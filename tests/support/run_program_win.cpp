#include "run_program.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include <cstdio>

namespace test_support {
namespace {

// The C runtime joins the arguments with blanks and nothing more.
std::string Quoted(const std::string& argument) { return "\"" + argument + "\""; }

// Points a standard descriptor at a file until destroyed; the child inherits it.
class Redirect {
 public:
  Redirect(int fd, int file) : fd_(fd), saved_(_dup(fd)) {
    if (file >= 0) _dup2(file, fd_);
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

class File {
 public:
  explicit File(const std::string& path)
      : fd_(_open(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE)) {}
  ~File() {
    if (fd_ >= 0) _close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

int RunProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& out,
               const std::string& err) {
  std::vector<std::string> quoted{Quoted(program)};
  for (const std::string& argument : arguments) quoted.push_back(Quoted(argument));
  std::vector<const char*> argv;
  for (const std::string& argument : quoted) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  std::fflush(stdout);
  std::fflush(stderr);
  const File outFile(out);
  const File errFile(err == out ? std::string() : err);
  if (outFile.fd() < 0 || (err != out && errFile.fd() < 0)) return -1;
  const Redirect toOut(1, outFile.fd());
  const Redirect toErr(2, err == out ? outFile.fd() : errFile.fd());
  return static_cast<int>(_spawnv(_P_WAIT, (program + ".exe").c_str(), argv.data()));
}

}  // namespace test_support
