#include "support/test_modules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace hostbind_test {

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
  const std::string output = ProgramFolder() + program + "." + test->name() + ".out";
  const int exitCode = test_support::RunProgram(ProgramFolder() + program, steps, output, output);

  std::ostringstream text;
  text << std::ifstream(output, std::ios::binary).rdbuf();
  std::remove(output.c_str());
  EXPECT_FALSE(test_support::ReportsUnhandledException(text.str())) << program << " crashed:\n" << text.str();
  return ChildRun{exitCode, text.str()};
}

}  // namespace hostbind_test
