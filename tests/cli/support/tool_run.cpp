#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "run_program.h"

namespace cli_test {

namespace {

// A parameterised test's name holds a slash.
std::string TestName() {
  std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
  for (char& c : name) {
    if (c == '/') c = '.';
  }
  return name;
}

// Windows writes its lines with CRLF; the tests read them alike everywhere.
std::string ReadAndRemove(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  std::remove(path.c_str());
  std::string out;
  for (char c : text.str()) {
    if (c != '\r') out += c;
  }
  return out;
}

}  // namespace

ToolRun RunProgramAt(const std::string& program, const std::vector<std::string>& arguments) {
  const std::string base = ProgramFolder() + "test_cli." + TestName();
  const std::string out = base + ".out", err = base + ".err";
  ToolRun run;
  run.exitCode = test_support::RunProgram(program, arguments, out, err);
  run.out = ReadAndRemove(out);
  run.err = ReadAndRemove(err);
  EXPECT_FALSE(test_support::ReportsUnhandledException(run.err)) << program << " crashed:\n" << run.err;
  return run;
}

ToolRun RunTool(const std::vector<std::string>& arguments) {
  return RunProgramAt(ProgramFolder() + "kronel-names", arguments);
}

ScratchFolder::ScratchFolder() : root_(ProgramFolder() + "test_cli." + TestName() + ".d/") {
  std::filesystem::remove_all(root_);
  std::filesystem::create_directories(root_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string ScratchFolder::Folder(const std::string& sub) const {
  const std::string folder = root_ + sub + "/";
  std::filesystem::create_directories(folder);
  return folder;
}

std::string ScratchFolder::Copy(const std::string& from, const std::string& sub,
                                const std::string& name) const {
  const std::string to = Folder(sub) + name;
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
  return to;
}

std::string ScratchFolder::Write(const std::string& sub, const std::string& name,
                                 const std::string& text) const {
  const std::string to = Folder(sub) + name;
  std::ofstream(to, std::ios::binary) << text;
  return to;
}

InputFile::InputFile(const std::string& label, const std::string& text)
    : path_(ProgramFolder() + "test_cli." + TestName() + "." + label) {
  std::ofstream(path_, std::ios::binary) << text;
}

InputFile::~InputFile() { std::remove(path_.c_str()); }

}  // namespace cli_test
