#pragma once
// Runs bin/kronel-names as a user would, and what it left behind.
#include <string>
#include <vector>

namespace cli_test {

struct ToolRun {
  int exitCode = -1;
  std::string out;  // standard output, line ends made "\n"
  std::string err;  // standard error, likewise
};

ToolRun RunTool(const std::vector<std::string>& arguments);

// A file beside the tool for the running test, removed when the holder goes.
class InputFile {
 public:
  InputFile(const std::string& label, const std::string& text);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Runs the program with its standard output and error in the two files; its exit code.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& out,
               const std::string& err);

}  // namespace cli_test
