#include "support/test_modules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/exit_status.h"

namespace hostbind_test {

std::string ProgramFolder() {
  char path[1024];
  std::uint32_t length = platform::GetModuleFileNameA(nullptr, path, sizeof path);
  std::string program(path, length < sizeof path ? length : 0);
  return program.substr(0, program.find_last_of("/\\") + 1);
}

std::string BinderModulePath(const std::string& name) {
  std::string folder = ProgramFolder();
  char separator = folder.empty() ? '/' : folder.back();
  return folder + "binder" + separator + name + ".dll";
}

LoadedModule::LoadedModule(const std::string& name)
    : handle_(platform::LoadLibraryA(BinderModulePath(name).c_str())), loaded_(handle_ != nullptr) {
  EXPECT_NE(handle_, nullptr) << BinderModulePath(name);
}

LoadedModule::~LoadedModule() { Unload(); }

void LoadedModule::Unload() {
  if (loaded_) platform::FreeLibrary(handle_);
  loaded_ = false;
}

ChildRun RunChild(const std::string& program, const std::vector<std::string>& steps) {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string output = ProgramFolder() + program + "." + test->name() + ".out";
  std::string command = ProgramFolder() + program;
  for (const std::string& step : steps) command += " " + step;
  command += " >" + output + " 2>&1";
  int status = std::system(command.c_str());

  std::ostringstream text;
  text << std::ifstream(output, std::ios::binary).rdbuf();
  std::remove(output.c_str());
  return ChildRun{ExitCodeOf(status), text.str()};
}

}  // namespace hostbind_test
