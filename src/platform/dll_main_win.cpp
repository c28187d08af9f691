// The plug-in's DllMain, linked into the plug-in alone.
#include <windows.h>

// Pinned here, under the loader lock the loader holds for this call anyway:
// from now on no host call needs that lock to keep the image, and a host's
// FreeLibrary with a worker still running, or with the notifier still in the
// library's hands, cannot take the code from under them.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  HMODULE pinned = nullptr;
  // Rather not load than be freed under a running thread.
  return ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                              reinterpret_cast<LPCWSTR>(instance), &pinned);
}
