#include <cstdint>

#include "platform/module.h"
#include "run_program.h"

namespace test_support {

std::string ProgramFolder() {
  char path[1024];
  std::uint32_t length = platform::GetModuleFileNameA(nullptr, path, sizeof path);
  std::string program(path, length < sizeof path ? length : 0);
  return program.substr(0, program.find_last_of("/\\") + 1);
}

}  // namespace test_support
