#include "engine.h"

#include <cstring>
#include <new>
#include <string>

#include "ztrtsim.h"

namespace ztrt {
namespace {

constexpr std::size_t kCountSize = sizeof(std::int32_t);

std::string_view AttributeName(hostbind::PStr name) {
  return std::string_view(reinterpret_cast<const char*>(name + 1), name[0]);
}

}  // namespace

Engine& Engine::Instance() {
  static Engine engine;
  return engine;
}

hostbind::MgErr Engine::TargetURL(std::uint32_t appRef, hostbind::LStrHandle* url) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int32_t status = 0;
  if (faults_.Call(Function::TargetURL, status)) return status;
  if (url == nullptr) return ZTRTSIM_ERR_ARGUMENT;
  const auto it = urls_.find(appRef);
  if (it == urls_.end()) return ZTRTSIM_ERR_APP_REF;
  switch (it->second.kind) {
    case UrlKind::Url:
      *url = reinterpret_cast<hostbind::LStrHandle>(it->second.handle);
      return ZTRTSIM_OK;
    case UrlKind::Null:
      *url = nullptr;
      return ZTRTSIM_OK;
    case UrlKind::Failure:
      break;
  }
  return it->second.status;
}

hostbind::UHandle Engine::NewHandleClr(std::size_t size) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int32_t status = 0;
  if (faults_.Call(Function::DSNewHClr, status)) return nullptr;
  return handles_.Allocate(size, Owner::Caller);
}

hostbind::MgErr Engine::SetStringAttr(hostbind::ZtVariantPtr* element, hostbind::PStr name,
                                      hostbind::LStrHandle value) noexcept {
  return SetAttribute(Function::SetStringAttr, element, name, value, 0);
}

hostbind::MgErr Engine::SetUI32Attr(hostbind::ZtVariantPtr* element, hostbind::PStr name,
                                    std::uint32_t value) noexcept {
  return SetAttribute(Function::SetUI32Attr, element, name, nullptr, value);
}

hostbind::MgErr Engine::SetAttribute(Function function, hostbind::ZtVariantPtr* element, hostbind::PStr name,
                                     hostbind::LStrHandle text, std::uint32_t number) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int32_t status = 0;
  if (faults_.Call(function, status)) return status;
  if (element == nullptr || name == nullptr || name[0] == 0) return ZTRTSIM_ERR_ARGUMENT;
  std::string_view bytes;
  if (function == Function::SetStringAttr && !ReadString(text, bytes)) return ZTRTSIM_ERR_HANDLE;
  Variant* variant = nullptr;
  if (*element != nullptr) {
    variant = variants_.Find(*element);
    if (variant == nullptr) return ZTRTSIM_ERR_VARIANT;
  }
  bool created = false;
  try {
    if (variant == nullptr) {
      variant = variants_.Create();
      created = true;
    }
    if (function == Function::SetStringAttr) {
      variant->SetString(AttributeName(name), bytes);
    } else {
      variant->SetUI32(AttributeName(name), number);
    }
  } catch (...) {
    if (created) variants_.Dispose(variant);
    return ZTRTSIM_ERR_MEMORY;
  }
  if (created) *element = reinterpret_cast<hostbind::ZtVariantPtr>(variant);
  return ZTRTSIM_OK;
}

hostbind::MgErr Engine::StringFromBytes(hostbind::LStrHandle* slot, std::int32_t length,
                                        const unsigned char* bytes) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int32_t status = 0;
  if (faults_.Call(Function::LStrFromPtr, status)) return status;
  if (slot == nullptr || length < 0 || (bytes == nullptr && length > 0)) return ZTRTSIM_ERR_ARGUMENT;
  try {
    // A copy first: the bytes may lie in the very block that is resized.
    const std::string copy(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
    return StoreString(slot, copy);
  } catch (...) {
    return ZTRTSIM_ERR_MEMORY;
  }
}

hostbind::MgErr Engine::ConvertToSystem(hostbind::LStrHandle utf8, hostbind::LStrHandle* system) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int32_t status = 0;
  if (faults_.Call(Function::ConvertUtf8ToSystem, status)) return status;
  if (system == nullptr) return ZTRTSIM_ERR_ARGUMENT;
  std::string_view text;
  if (!ReadString(utf8, text)) return ZTRTSIM_ERR_HANDLE;
  try {
    std::string converted;
    if (!ConvertUtf8ToSystem(text, encoding_, converted)) return ZTRTSIM_ERR_ENCODING;
    return StoreString(system, converted);
  } catch (...) {
    return ZTRTSIM_ERR_MEMORY;
  }
}

hostbind::MgErr Engine::DisposeHandle(hostbind::UHandle handle) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  std::int32_t status = 0;
  if (faults_.Call(Function::DSDisposeHandle, status)) return status;
  const HandleTable::Block* block = handles_.Find(handle);
  if (block == nullptr || block->owner != Owner::Caller) {
    ++rejectedDisposals_;
    return ZTRTSIM_ERR_HANDLE;
  }
  handles_.Release(handle);
  return ZTRTSIM_OK;
}

// A null handle reads as the empty string, as hosts treat it.
bool Engine::ReadString(const void* handle, std::string_view& bytes) const noexcept {
  if (handle == nullptr) {
    bytes = std::string_view();
    return true;
  }
  const HandleTable::Block* block = handles_.Find(handle);
  if (block == nullptr || block->size < kCountSize) return false;
  std::int32_t count = 0;
  std::memcpy(&count, block->data, kCountSize);
  if (count < 0 || static_cast<std::size_t>(count) > block->size - kCountSize) return false;
  bytes = std::string_view(static_cast<const char*>(block->data) + kCountSize, static_cast<std::size_t>(count));
  return true;
}

// An empty slot gets a new handle; a slot that already holds one of the
// caller's handles has it resized and overwritten, as a host string setter does.
hostbind::MgErr Engine::StoreString(hostbind::LStrHandle* slot, std::string_view bytes) noexcept {
  const std::size_t size = kCountSize + bytes.size();
  void** handle = reinterpret_cast<void**>(*slot);
  if (handle == nullptr) {
    handle = handles_.Allocate(size, Owner::Caller);
    if (handle == nullptr) return ZTRTSIM_ERR_MEMORY;
  } else {
    const HandleTable::Block* block = handles_.Find(handle);
    if (block == nullptr || block->owner != Owner::Caller) return ZTRTSIM_ERR_HANDLE;
    if (!handles_.Resize(handle, size)) return ZTRTSIM_ERR_MEMORY;
  }
  char* data = static_cast<char*>(*handle);
  const auto count = static_cast<std::int32_t>(bytes.size());
  std::memcpy(data, &count, kCountSize);
  if (!bytes.empty()) std::memcpy(data + kCountSize, bytes.data(), bytes.size());
  *slot = reinterpret_cast<hostbind::LStrHandle>(handle);
  return ZTRTSIM_OK;
}

}  // namespace ztrt
