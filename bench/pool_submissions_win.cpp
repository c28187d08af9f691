#include "pool_submissions.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <type_traits>

namespace kronel_bench {
namespace {

using SubmitFn = BOOL(WINAPI*)(PTP_SIMPLE_CALLBACK, PVOID, PTP_CALLBACK_ENVIRON);
using CreateThreadFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                                       LPDWORD);
using BeginThreadFn = std::uintptr_t(__cdecl*)(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned,
                                               unsigned*);

constexpr std::size_t kKept = 4096;
Span g_spans[kKept];
std::atomic<std::size_t> g_noted{0}, g_taken{0};
std::atomic<std::uint64_t> g_threadStarts{0};
std::atomic<std::uint64_t> g_kernelCalls{0};
SubmitFn g_submit = nullptr;
CreateThreadFn g_createThread = nullptr;
BeginThreadFn g_beginThread = nullptr;

BOOL WINAPI TimedSubmit(PTP_SIMPLE_CALLBACK callback, PVOID context, PTP_CALLBACK_ENVIRON environment) {
  const std::int64_t begin = Now();
  const BOOL queued = g_submit(callback, context, environment);
  const std::int64_t end = Now();
  g_spans[g_noted.fetch_add(1) % kKept] = Span{begin, end};
  return queued;
}

HANDLE WINAPI CountedCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                  LPVOID argument, DWORD flags, LPDWORD id) {
  g_threadStarts.fetch_add(1);
  return g_createThread(security, stack, start, argument, flags, id);
}

std::uintptr_t __cdecl CountedBeginThread(void* security, unsigned stack, unsigned(__stdcall* start)(void*),
                                          void* argument, unsigned flags, unsigned* id) {
  g_threadStarts.fetch_add(1);
  return g_beginThread(security, stack, start, argument, flags, id);
}

// Counts a call of the import, then makes it through the import's old target.
template <class Fn, Fn* Target>
struct Counted;
template <class Result, class... Args, Result(WINAPI** Target)(Args...)>
struct Counted<Result(WINAPI*)(Args...), Target> {
  static Result WINAPI Call(Args... args) {
    g_kernelCalls.fetch_add(1);
    return (*Target)(args...);
  }
};

using CreateEventFn = decltype(&::CreateEventA);
using CreateSemaphoreFn = decltype(&::CreateSemaphoreA);
using DuplicateHandleFn = decltype(&::DuplicateHandle);
using CloseHandleFn = decltype(&::CloseHandle);
using WaitFn = decltype(&::WaitForSingleObject);
using WaitExFn = decltype(&::WaitForSingleObjectEx);
using WaitManyFn = decltype(&::WaitForMultipleObjects);
using WaitManyExFn = decltype(&::WaitForMultipleObjectsEx);
CreateEventFn g_createEvent = nullptr;
CreateSemaphoreFn g_createSemaphore = nullptr;
DuplicateHandleFn g_duplicateHandle = nullptr;
CloseHandleFn g_closeHandle = nullptr;
WaitFn g_wait = nullptr;
WaitExFn g_waitEx = nullptr;
WaitManyFn g_waitMany = nullptr;
WaitManyExFn g_waitManyEx = nullptr;

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

bool TimePoolSubmissions(platform::ModuleHandle module) {
  HMODULE image = reinterpret_cast<HMODULE>(module);
  if (image == nullptr) return false;
  if (g_submit == nullptr) {
    g_submit = reinterpret_cast<SubmitFn>(
        Redirect(image, "TrySubmitThreadpoolCallback", reinterpret_cast<void*>(&TimedSubmit)));
  }
  if (g_createThread == nullptr) {
    g_createThread = reinterpret_cast<CreateThreadFn>(
        Redirect(image, "CreateThread", reinterpret_cast<void*>(&CountedCreateThread)));
  }
  if (g_beginThread == nullptr) {
    g_beginThread = reinterpret_cast<BeginThreadFn>(
        Redirect(image, "_beginthreadex", reinterpret_cast<void*>(&CountedBeginThread)));
  }
  auto count = [&](const char* name, auto& target, auto replacement) {
    using Fn = std::remove_reference_t<decltype(target)>;
    if (target == nullptr)
      target = reinterpret_cast<Fn>(Redirect(image, name, reinterpret_cast<void*>(replacement)));
  };
  count("CreateEventA", g_createEvent, &Counted<CreateEventFn, &g_createEvent>::Call);
  count("CreateSemaphoreA", g_createSemaphore, &Counted<CreateSemaphoreFn, &g_createSemaphore>::Call);
  count("DuplicateHandle", g_duplicateHandle, &Counted<DuplicateHandleFn, &g_duplicateHandle>::Call);
  count("CloseHandle", g_closeHandle, &Counted<CloseHandleFn, &g_closeHandle>::Call);
  count("WaitForSingleObject", g_wait, &Counted<WaitFn, &g_wait>::Call);
  count("WaitForSingleObjectEx", g_waitEx, &Counted<WaitExFn, &g_waitEx>::Call);
  count("WaitForMultipleObjects", g_waitMany, &Counted<WaitManyFn, &g_waitMany>::Call);
  count("WaitForMultipleObjectsEx", g_waitManyEx, &Counted<WaitManyExFn, &g_waitManyEx>::Call);
  return PoolSubmissionsTimed();
}

bool PoolSubmissionsTimed() { return g_submit != nullptr; }

std::vector<Span> TakePoolSubmissions() {
  const std::size_t noted = g_noted.load();
  std::vector<Span> spans;
  const std::size_t taken = g_taken.exchange(noted);
  for (std::size_t i = std::max(taken, noted > kKept ? noted - kKept : 0); i < noted; ++i) {
    spans.push_back(g_spans[i % kKept]);
  }
  return spans;
}

bool ImportsThreadStart() { return g_createThread != nullptr || g_beginThread != nullptr; }
std::uint64_t ThreadStartsMade() { return g_threadStarts.load(); }
std::uint64_t KernelObjectCalls() { return g_kernelCalls.load(); }

}  // namespace kronel_bench
