#include "support/tool_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/module.h"

namespace cli_test {
namespace {

std::string ProgramFolder() {
  char path[1024];
  std::uint32_t length = platform::GetModuleFileNameA(nullptr, path, sizeof path);
  std::string program(path, length < sizeof path ? length : 0);
  return program.substr(0, program.find_last_of("/\\") + 1);
}

std::string TestName() { return ::testing::UnitTest::GetInstance()->current_test_info()->name(); }

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

ToolRun RunTool(const std::vector<std::string>& arguments) {
  const std::string base = ProgramFolder() + "test_cli." + TestName();
  const std::string out = base + ".out", err = base + ".err";
  ToolRun run;
  run.exitCode = RunProgram(ProgramFolder() + "kronel-names", arguments, out, err);
  run.out = ReadAndRemove(out);
  run.err = ReadAndRemove(err);
  return run;
}

InputFile::InputFile(const std::string& label, const std::string& text)
    : path_(ProgramFolder() + "test_cli." + TestName() + "." + label) {
  std::ofstream(path_, std::ios::binary) << text;
}

InputFile::~InputFile() { std::remove(path_.c_str()); }

}  // namespace cli_test
