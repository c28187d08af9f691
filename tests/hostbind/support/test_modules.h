#pragma once
// The test modules and helper programs that lie beside the test executable.
#include <string>
#include <vector>

#include "platform/module.h"
#include "run_program.h"

namespace hostbind_test {

using test_support::ProgramFolder;

// bin/binder/<name>.dll ("lib<name>.so" where modules are shared objects).
std::string BinderModulePath(const std::string& name);

// One reference on a test module, given back by Unload or the destructor.
// The handle stays readable after Unload, for the tests of stale handles.
class LoadedModule {
 public:
  explicit LoadedModule(const std::string& name);
  ~LoadedModule();
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  void Unload();
  platform::ModuleHandle handle() const { return handle_; }

 private:
  platform::ModuleHandle handle_;
  bool loaded_;
};

struct ChildRun {
  int exitCode;
  std::string output;  // standard output and standard error
};

// Runs bin/<program> with the steps as arguments and waits for it.
ChildRun RunChild(const std::string& program, const std::vector<std::string>& steps);

}  // namespace hostbind_test
