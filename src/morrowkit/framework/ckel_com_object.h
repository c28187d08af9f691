#pragma once
#include <atomic>
#include <cstdint>
#include <new>
#include <utility>

#include "morrowkit/interfaces.h"

namespace morrowkit {

// Reference counts changed with atomic operations and no lock.
struct CKelComMultiThreadModelNoCS {
  static std::int32_t Increment(std::atomic<std::int32_t>& count) noexcept { return ++count; }
  static std::int32_t Decrement(std::atomic<std::int32_t>& count) noexcept { return --count; }
};

template <class ThreadModel>
class CKelComObjectRootEx {
 protected:
  std::int32_t InternalAddRef() noexcept { return ThreadModel::Increment(references_); }
  std::int32_t InternalRelease() noexcept { return ThreadModel::Decrement(references_); }

 private:
  std::atomic<std::int32_t> references_{0};
};

// Makes T a complete object the library can hold: T names its one interface
// (T::Interface, answered for T::kInterfaceId and IUnknown alike). The count
// starts at 0 and the object deletes itself when it returns there, on
// whichever thread: the image is pinned, so the code stays for the library's
// threads however late they let go.
template <class T>
class CKelComObject final : public T {
 public:
  // The new object has no reference yet; the caller takes the first one.
  static HRESULT CreateInstance(CKelComObject** object) noexcept {
    if (object == nullptr) return platform::kE_POINTER;
    *object = new (std::nothrow) CKelComObject();
    return *object != nullptr ? platform::kS_OK : platform::kE_OUTOFMEMORY;
  }

  HRESULT QueryInterface(const Iid& iid, void** object) override {
    if (object == nullptr) return platform::kE_POINTER;
    if (iid == kIID_IUnknown || iid == T::kInterfaceId) {
      *object = static_cast<typename T::Interface*>(this);
      AddRef();
      return platform::kS_OK;
    }
    *object = nullptr;
    return platform::kE_NOINTERFACE;
  }

  std::uint32_t AddRef() override { return static_cast<std::uint32_t>(this->InternalAddRef()); }

  std::uint32_t Release() override {
    const std::int32_t count = this->InternalRelease();
    if (count == 0) delete this;
    return static_cast<std::uint32_t>(count);
  }

 private:
  CKelComObject() = default;
  ~CKelComObject() override = default;
};

}  // namespace morrowkit
