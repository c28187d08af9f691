/* A host run-time module whose functions do next to nothing, so that a call
   through the binder and a direct call differ only by the binder's work. */
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define BENCH_EXPORT __declspec(dllexport)
#else
#define BENCH_EXPORT __attribute__((visibility("default")))
#endif

BENCH_EXPORT int32_t TargetURL(uint32_t appRef, void** url) {
  *url = NULL;
  return appRef == 0 ? 1 : 0;
}
