#pragma once
#include <string>
#include <vector>

namespace test_support {

// The folder of the running executable, with its separator: the build's bin/.
std::string ProgramFolder();

// Runs the program (a path without ".exe") with its standard output and
// error in the two files, one file when both paths are the same; its exit
// code, or -1 when it could not be started.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& out,
               const std::string& err);

// Wine's report of an exception no handler took: a crash on a thread other
// than the main one may still exit 0, so only standard error tells.
inline bool ReportsUnhandledException(const std::string& standardError) {
  return standardError.find("wine: Unhandled") != std::string::npos;
}

}  // namespace test_support
