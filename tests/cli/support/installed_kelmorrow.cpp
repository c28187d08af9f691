// An installed Morrow library as the tests meet one: named kelmorrow, in a
// folder of its own, exporting the entry point alone. Behind it serves the
// testbed's simulated library, loaded by its path (KRONEL_TEST_SIMULATION),
// with the description KRONEL_TEST_HARDWARE loaded into it at the first call.
#include <cstdint>
#include <cstdlib>

#include "platform/hresult.h"
#include "platform/module.h"

#ifdef _WIN32
#define KRONEL_TEST_EXPORT __declspec(dllexport)
#else
#define KRONEL_TEST_EXPORT __attribute__((visibility("default")))
#endif

namespace {

using Instantiate = HRESULT (*)(std::int32_t, std::int32_t, void**);
using LoadFile = std::int32_t (*)(const char*, char*, std::size_t);

Instantiate Serve() {
  const char* simulation = std::getenv("KRONEL_TEST_SIMULATION");
  const char* hardware = std::getenv("KRONEL_TEST_HARDWARE");
  if (simulation == nullptr) return nullptr;
  platform::ModuleHandle module = platform::LoadLibraryA(simulation);
  if (module == nullptr) return nullptr;
  const auto load = reinterpret_cast<LoadFile>(platform::GetProcAddress(module, "kelsimLoadFile"));
  if (hardware != nullptr && (load == nullptr || load(hardware, nullptr, 0) != 0)) return nullptr;
  return reinterpret_cast<Instantiate>(platform::GetProcAddress(module, "kelsysInstantiateFramework2"));
}

}  // namespace

extern "C" KRONEL_TEST_EXPORT HRESULT kelsysInstantiateFramework2(std::int32_t flag1, std::int32_t flag2,
                                                                  void** framework) {
  static const Instantiate served = Serve();
  if (served == nullptr) return platform::kE_FAIL;
  return served(flag1, flag2, framework);
}
