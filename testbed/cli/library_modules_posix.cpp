#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>

#include "library_modules.h"

namespace kronel_names {
namespace {

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

std::string SharedLibraryPath(const std::string& folder, const std::string& name) {
  return folder + "lib" + name + ".so";
}

std::string ProgramFolder() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  const std::string program(path, length > 0 && static_cast<std::size_t>(length) < sizeof path ? length : 0);
  return program.substr(0, program.find_last_of('/') + 1);
}

// "X.dll" stands for "libX.so" here too.
platform::ModuleHandle LoadModuleAt(const std::string& path, std::string& why) {
  dlerror();
  platform::ModuleHandle module = platform::LoadLibraryA(path.c_str());
  if (module == nullptr) {
    const char* error = dlerror();
    why = error != nullptr ? error : "the loader gives no reason";
  }
  return module;
}

// LD_LIBRARY_PATH before the module's own run path ($ORIGIN), then the
// system's folders; the loader's cache is not consulted.
std::vector<std::string> ImportSearchFolders(const std::string& moduleFolder) {
  std::vector<std::string> folders;
  const char* path = std::getenv("LD_LIBRARY_PATH");
  const std::string rest = path != nullptr ? path : "";
  for (std::size_t start = 0; start <= rest.size();) {
    std::size_t end = rest.find(':', start);
    if (end == std::string::npos) end = rest.size();
    if (end > start) folders.push_back(WithSeparator(rest.substr(start, end - start)));
    start = end + 1;
  }
  folders.push_back(WithSeparator(moduleFolder));
  for (const char* system : {"/lib/x86_64-linux-gnu/", "/usr/lib/x86_64-linux-gnu/", "/lib/", "/usr/lib/"}) {
    folders.push_back(system);
  }
  return folders;
}

}  // namespace kronel_names
