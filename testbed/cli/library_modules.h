#pragma once
// Loading a module so that its own imports are searched for as the host's
// loader would search them, and telling why a load failed.
#include <string>
#include <vector>

#include "platform/module.h"

namespace kronel_names {

// "folder/kronel_ztprovider.dll", or "folder/libkronel_ztprovider.so".
std::string SharedLibraryPath(const std::string& folder, const std::string& name);

// The folder of the running program, with its separator.
std::string ProgramFolder();

// Loads the module by its path; its imports are searched for from its own
// folder, never from the tool's. Null on failure, with the system's reason in `why`.
platform::ModuleHandle LoadModuleAt(const std::string& path, std::string& why);

// The folders in which a module in `moduleFolder` looks for a library it
// imports by name, in the loader's order.
std::vector<std::string> ImportSearchFolders(const std::string& moduleFolder);

}  // namespace kronel_names
