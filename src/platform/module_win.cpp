#include "platform/module.h"

#include <windows.h>

namespace platform {
namespace {

static_assert((MB_TASKMODAL | MB_ICONERROR) == 0x2010, "task-modal error box");
static_assert(kTlsOutOfIndexes == TLS_OUT_OF_INDEXES, "TlsAlloc's failure value");

HMODULE Native(ModuleHandle module) { return reinterpret_cast<HMODULE>(module); }

}  // namespace

ModuleHandle GetModuleHandleA(const char* name) {
  return reinterpret_cast<ModuleHandle>(::GetModuleHandleA(name));
}

void* GetProcAddress(ModuleHandle module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(Native(module), name));
}

std::uint32_t GetModuleFileNameA(ModuleHandle module, char* buffer, std::uint32_t size) {
  DWORD length = ::GetModuleFileNameA(Native(module), buffer, size);
  // Older systems (and Wine) leave a truncated name unterminated.
  if (length == size && size > 0) buffer[size - 1] = '\0';
  return length;
}

void* TlsGetValue(std::uint32_t index) { return ::TlsGetValue(index); }

std::uint32_t ImageVersionKey(ModuleHandle module) {
  const auto* image = reinterpret_cast<const unsigned char*>(module);
  if (image == nullptr) return 0;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return 0;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return 0;
  return std::uint32_t(nt->OptionalHeader.MajorImageVersion) |
         (std::uint32_t(nt->OptionalHeader.MinorImageVersion) << 16);
}

ModuleHandle LoadLibraryA(const char* path) { return reinterpret_cast<ModuleHandle>(::LoadLibraryA(path)); }

bool FreeLibrary(ModuleHandle module) { return ::FreeLibrary(Native(module)) != FALSE; }

std::uint32_t TlsAlloc() { return ::TlsAlloc(); }

bool TlsSetValue(std::uint32_t index, void* value) { return ::TlsSetValue(index, value) != FALSE; }

bool TlsFree(std::uint32_t index) { return ::TlsFree(index) != FALSE; }

void FatalExit(const char* text) {
  ::MessageBoxA(nullptr, text, "Fatal Error", MB_TASKMODAL | MB_ICONERROR);
  ::ExitProcess(1);
}

}  // namespace platform
