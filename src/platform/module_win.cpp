#include "platform/module.h"

#include <windows.h>

namespace platform {
namespace {

static_assert((MB_TASKMODAL | MB_ICONERROR) == 0x2010, "task-modal error box");

HMODULE Native(ModuleHandle module) { return reinterpret_cast<HMODULE>(module); }

}  // namespace

ModuleHandle GetModuleHandleA(const char* name) {
  return reinterpret_cast<ModuleHandle>(::GetModuleHandleA(name));
}

void* GetProcAddress(ModuleHandle module, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(Native(module), name));
}

std::uint32_t GetModuleFileNameA(ModuleHandle module, char* buffer, std::uint32_t size) {
  return ::GetModuleFileNameA(Native(module), buffer, size);
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

void FatalExit(const char* text) {
  ::MessageBoxA(nullptr, text, "Fatal Error", MB_TASKMODAL | MB_ICONERROR);
  ::ExitProcess(1);
}

}  // namespace platform
