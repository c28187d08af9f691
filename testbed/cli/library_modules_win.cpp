#include <windows.h>

#include <cstdlib>

#include "library_modules.h"

namespace kronel_names {
namespace {

std::string SystemText(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message(text != nullptr ? text : "", length);
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
    message.pop_back();
  }
  return (message.empty() ? std::string("system error") : message) + " (error " + std::to_string(code) + ")";
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder;
}

std::string FolderFrom(UINT (*get)(LPSTR, UINT)) {
  char path[MAX_PATH];
  const UINT length = get(path, sizeof path);
  return length > 0 && length < sizeof path ? WithSeparator(std::string(path, length)) : std::string();
}

UINT CurrentFolder(LPSTR path, UINT size) { return GetCurrentDirectoryA(size, path); }

}  // namespace

std::string SharedLibraryPath(const std::string& folder, const std::string& name) {
  return folder + name + ".dll";
}

std::string ProgramFolder() {
  char path[4096];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  const std::string program(path, length < sizeof path ? length : 0);
  return program.substr(0, program.find_last_of("/\\") + 1);
}

// A plain LoadLibrary would search the plug-in's imports in the tool's
// folder first, where the testbed's simulated library lies.
platform::ModuleHandle LoadModuleAt(const std::string& path, std::string& why) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) why = SystemText(GetLastError());
  return reinterpret_cast<platform::ModuleHandle>(module);
}

// The order of LOAD_WITH_ALTERED_SEARCH_PATH: the module's folder, the
// system folders, the current folder, then PATH.
std::vector<std::string> ImportSearchFolders(const std::string& moduleFolder) {
  std::vector<std::string> folders{WithSeparator(moduleFolder), FolderFrom(GetSystemDirectoryA),
                                   FolderFrom(GetWindowsDirectoryA), FolderFrom(CurrentFolder)};
  const char* path = std::getenv("PATH");
  std::string rest = path != nullptr ? path : "";
  for (std::size_t start = 0; start <= rest.size();) {
    std::size_t end = rest.find(';', start);
    if (end == std::string::npos) end = rest.size();
    if (end > start) folders.push_back(WithSeparator(rest.substr(start, end - start)));
    start = end + 1;
  }
  return folders;
}

}  // namespace kronel_names
