#pragma once
// Loaded modules and thread-local storage, as far as the host function binder
// needs them. On Windows these are the Win32 functions; elsewhere a module is
// a dlopen handle, "X.dll" stands for "libX.so" and a TLS index is a
// pthread_key_t.
#include <cstdint>

namespace platform {

struct Module;  // never defined: a module handle is only compared and passed on
using ModuleHandle = Module*;

// The module if it is loaded, without taking a reference; null names the
// process's main program.
ModuleHandle GetModuleHandleA(const char* name);

// The address of an export of that very module (not of its dependencies), or null.
void* GetProcAddress(ModuleHandle module, const char* name);

// Copies the module's path, truncated to fit and always terminated when size
// is not 0. Returns its length, size when it was truncated, and 0 when the
// module is not loaded. A null module names the main program.
std::uint32_t GetModuleFileNameA(ModuleHandle module, char* buffer, std::uint32_t size);

void* TlsGetValue(std::uint32_t index);

// MajorImageVersion in the low 16 bits, MinorImageVersion in the high 16 bits,
// read from the module's image in memory; 0 where modules have no such field.
std::uint32_t ImageVersionKey(ModuleHandle module);

// For hosts and tests; the binder itself never loads or unloads a module.
// LoadLibraryA takes a reference that FreeLibrary gives back.
ModuleHandle LoadLibraryA(const char* path);
bool FreeLibrary(ModuleHandle module);

constexpr std::uint32_t kTlsOutOfIndexes = 0xFFFFFFFF;
std::uint32_t TlsAlloc();
bool TlsSetValue(std::uint32_t index, void* value);
bool TlsFree(std::uint32_t index);

// Shows the text (a message box on Windows, standard error elsewhere) and ends
// the process with exit code 1.
[[noreturn]] void FatalExit(const char* text);

}  // namespace platform
