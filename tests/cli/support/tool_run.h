#pragma once
// Runs bin/kronel-names as a user would, and what it left behind.
#include <string>
#include <vector>

#include "run_program.h"

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

// A folder of its own for the running test, beside the tool, removed with
// everything in it when the holder goes.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  // The path of `sub` (made if need be), with its separator.
  std::string Folder(const std::string& sub) const;
  // Copies a file into `sub`; the copy's path.
  std::string Copy(const std::string& from, const std::string& sub, const std::string& name) const;
  // Writes `text` into `sub`/`name`; the file's path.
  std::string Write(const std::string& sub, const std::string& name, const std::string& text) const;

 private:
  std::string root_;
};

using test_support::ProgramFolder;
// "kelmorrow.dll", or "libkelmorrow.so".
std::string LibraryFile(const std::string& name);

// Sets an environment variable for the programs started meanwhile.
class ScopedVariable {
 public:
  ScopedVariable(const std::string& name, const std::string& value);
  ~ScopedVariable();
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::string name_;
  bool had_ = false;
  std::string saved_;
};

// Puts a folder first on the path the loader searches for libraries (PATH on
// Windows, LD_LIBRARY_PATH elsewhere) for the programs started meanwhile.
class SearchPathFirst {
 public:
  explicit SearchPathFirst(const std::string& folder);

 private:
  ScopedVariable path_;
};

// Runs `program` (without ".exe") as RunTool runs the tool.
ToolRun RunProgramAt(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace cli_test
