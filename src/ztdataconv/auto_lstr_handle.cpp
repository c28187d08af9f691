#include "ztdataconv/auto_lstr_handle.h"

#include "hostbind/host_runtime.h"

namespace ztdataconv {

AutoLStrHandle::~AutoLStrHandle() {
  if (handle_ != nullptr) {
    hostbind::DSDisposeHandle(reinterpret_cast<hostbind::UHandle>(handle_));
    handle_ = nullptr;
  }
}

hostbind::LStrHandle AutoLStrHandle::Detach() noexcept {
  hostbind::LStrHandle handle = handle_;
  handle_ = nullptr;
  return handle;
}

}  // namespace ztdataconv
