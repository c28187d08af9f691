// A stand-in for a host run-time engine: the host functions under their
// export names, each answering with this module's marker.
#include <cstdint>

#include "hostbind/host_types.h"

using namespace hostbind;

extern "C" {

BINDER_EXPORT MgErr TargetURL(std::uint32_t, LStrHandle*) { return BINDER_MARKER; }

BINDER_EXPORT MgErr LStrFromPtr(LStrHandle*, std::int32_t, const unsigned char*) { return BINDER_MARKER; }

BINDER_EXPORT UHandle DSNewHClr(std::size_t) {
  return reinterpret_cast<UHandle>(static_cast<std::uintptr_t>(BINDER_MARKER));
}

#if !BINDER_PARTIAL
BINDER_EXPORT MgErr DSDisposeHandle(UHandle) { return BINDER_MARKER; }
#endif
}
