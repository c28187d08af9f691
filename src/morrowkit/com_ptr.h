#pragma once
#include <utility>

namespace morrowkit {

// Owns one reference to a COM-style interface. Copying takes another
// reference; Put() empties the holder and hands out its address for an
// out-parameter, which then gives the holder the returned reference.
template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Takes a new reference to `object`.
  explicit ComPtr(T* object) noexcept : object_(object) {
    if (object_ != nullptr) object_->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.object_) {}
  ComPtr(ComPtr&& other) noexcept : object_(other.Detach()) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) noexcept {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }

  // Adopts a reference the caller already owns.
  static ComPtr Attach(T* object) noexcept {
    ComPtr result;
    result.object_ = object;
    return result;
  }
  T* Detach() noexcept { return std::exchange(object_, nullptr); }

  void Reset() noexcept {
    if (T* object = Detach()) object->Release();
  }
  T** Put() noexcept {
    Reset();
    return &object_;
  }
  void Swap(ComPtr& other) noexcept { std::swap(object_, other.object_); }

  T* Get() const noexcept { return object_; }
  T* operator->() const noexcept { return object_; }
  explicit operator bool() const noexcept { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

}  // namespace morrowkit
