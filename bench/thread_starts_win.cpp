#include "thread_starts.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace kronel_bench {
namespace {

using CreateThreadFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                       LPDWORD);
using BeginThreadFn = std::uintptr_t(__cdecl*)(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned,
                                               unsigned*);

constexpr std::size_t kKept = 4096;
Span g_spans[kKept];
std::atomic<std::size_t> g_noted{0}, g_taken{0};
CreateThreadFn g_createThread = nullptr;
BeginThreadFn g_beginThread = nullptr;

void Note(std::int64_t begin) {
  const std::int64_t end = Now();
  const std::size_t slot = g_noted.fetch_add(1);
  if (slot < kKept) g_spans[slot] = Span{begin, end};
}

HANDLE WINAPI TimedCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                LPVOID argument, DWORD flags, LPDWORD id) {
  const std::int64_t begin = Now();
  HANDLE thread = g_createThread(security, stack, start, argument, flags, id);
  Note(begin);
  return thread;
}

std::uintptr_t __cdecl TimedBeginThread(void* security, unsigned stack, unsigned(__stdcall* start)(void*),
                                        void* argument, unsigned flags, unsigned* id) {
  const std::int64_t begin = Now();
  const std::uintptr_t thread = g_beginThread(security, stack, start, argument, flags, id);
  Note(begin);
  return thread;
}

// Points the module's import of `name` at `replacement`; the import's old target, or null.
void* Redirect(HMODULE module, const char* name, void* replacement) {
  auto* base = reinterpret_cast<unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       library->Name != 0; ++library) {
    if (library->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + library->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA64*>(base + library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL64(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0) continue;
      DWORD protection = 0;
      if (!::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection)) {
        return nullptr;
      }
      void* old = reinterpret_cast<void*>(slots->u1.Function);
      slots->u1.Function = reinterpret_cast<ULONGLONG>(replacement);
      ::VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
      return old;
    }
  }
  return nullptr;
}

}  // namespace

bool TimeThreadStarts(platform::ModuleHandle module) {
  HMODULE image = reinterpret_cast<HMODULE>(module);
  if (image == nullptr) return false;
  if (g_createThread == nullptr) {
    g_createThread = reinterpret_cast<CreateThreadFn>(
        Redirect(image, "CreateThread", reinterpret_cast<void*>(&TimedCreateThread)));
  }
  if (g_beginThread == nullptr) {
    g_beginThread = reinterpret_cast<BeginThreadFn>(
        Redirect(image, "_beginthreadex", reinterpret_cast<void*>(&TimedBeginThread)));
  }
  return ThreadStartsTimed();
}

bool ThreadStartsTimed() { return g_createThread != nullptr || g_beginThread != nullptr; }

std::vector<Span> TakeThreadStarts() {
  const std::size_t noted = std::min(g_noted.load(), kKept);
  std::vector<Span> spans;
  for (std::size_t i = g_taken.exchange(noted); i < noted; ++i) spans.push_back(g_spans[i]);
  return spans;
}

}  // namespace kronel_bench
