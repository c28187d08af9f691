#include <cstring>

#include "engine.h"
#include "name_list_reader.h"
#include "ztrtsim.h"

namespace ztrt {

void Engine::Reset() noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  urls_.clear();
  variants_.Clear();
  handles_.Clear();
  faults_.Reset();
  encoding_ = SystemEncoding::Utf8;
  rejectedDisposals_ = 0;
}

int Engine::SetTargetUrl(std::uint32_t appRef, std::string_view bytes) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  if (bytes.size() > HandleTable::kMaxBlockSize - sizeof(std::int32_t)) return ZTRTSIM_ERR_ARGUMENT;
  void** handle = handles_.Allocate(sizeof(std::int32_t) + bytes.size(), Owner::Engine);
  if (handle == nullptr) return ZTRTSIM_ERR_MEMORY;
  char* data = static_cast<char*>(*handle);
  const auto count = static_cast<std::int32_t>(bytes.size());
  std::memcpy(data, &count, sizeof count);
  if (!bytes.empty()) std::memcpy(data + sizeof count, bytes.data(), bytes.size());
  const int result = SetUrlEntry(appRef, UrlEntry{UrlKind::Url, handle, 0});
  if (result != ZTRTSIM_OK) handles_.Release(handle);
  return result;
}

int Engine::SetTargetUrlNull(std::uint32_t appRef) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return SetUrlEntry(appRef, UrlEntry{UrlKind::Null, nullptr, 0});
}

int Engine::SetTargetUrlFailure(std::uint32_t appRef, std::int32_t status) noexcept {
  if (status == 0) return ZTRTSIM_ERR_ARGUMENT;
  std::lock_guard<std::mutex> lock(mutex_);
  return SetUrlEntry(appRef, UrlEntry{UrlKind::Failure, nullptr, status});
}

int Engine::RemoveTargetUrl(std::uint32_t appRef) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return urls_.erase(appRef) != 0 ? ZTRTSIM_OK : ZTRTSIM_ERR_APP_REF;
}

// A replaced URL handle is not freed: a caller may still be reading it.
int Engine::SetUrlEntry(std::uint32_t appRef, const UrlEntry& entry) noexcept {
  try {
    urls_[appRef] = entry;
  } catch (...) {
    return ZTRTSIM_ERR_MEMORY;
  }
  return ZTRTSIM_OK;
}

void Engine::SetEncoding(SystemEncoding encoding) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  encoding_ = encoding;
}

SystemEncoding Engine::Encoding() noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return encoding_;
}

void Engine::FailCall(Function function, std::uint32_t nth, std::int32_t status) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.Arm(function, nth, status != 0 ? status : ZTRTSIM_ERR_INJECTED);
}

void Engine::ClearFailures() noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.Disarm();
}

std::int64_t Engine::Calls(Function function) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return faults_.Calls(function);
}

std::int64_t Engine::LiveHandles() noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<std::int64_t>(handles_.Count(Owner::Caller));
}

std::int64_t Engine::LiveVariants() noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<std::int64_t>(variants_.Count());
}

std::int64_t Engine::RejectedDisposals() noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return rejectedDisposals_;
}

std::int64_t Engine::HandleSize(const void* handle) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  const HandleTable::Block* block = handles_.Find(handle);
  return block != nullptr ? static_cast<std::int64_t>(block->size) : -1;
}

std::int32_t Engine::ListCount(const void* list) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return NameListReader(handles_, variants_, list).Count();
}

std::int32_t Engine::ListCapacity(const void* list) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  return NameListReader(handles_, variants_, list).Capacity();
}

std::int32_t Engine::ListElementAttrCount(const void* list, std::int32_t index) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  Variant* variant = nullptr;
  if (NameListReader(handles_, variants_, list).Element(index, variant) != ZTRTSIM_OK) return -1;
  return variant != nullptr ? static_cast<std::int32_t>(variant->Attributes().size()) : 0;
}

int Engine::ListAttrName(const void* list, std::int32_t index, std::int32_t position, std::string& name) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  Variant* variant = nullptr;
  const int result = NameListReader(handles_, variants_, list).Element(index, variant);
  if (result != ZTRTSIM_OK) return result;
  if (variant == nullptr || position < 0 || static_cast<std::size_t>(position) >= variant->Attributes().size()) {
    return ZTRTSIM_ERR_NOT_FOUND;
  }
  try {
    name = variant->Attributes()[static_cast<std::size_t>(position)].name;
  } catch (...) {
    return ZTRTSIM_ERR_MEMORY;
  }
  return ZTRTSIM_OK;
}

int Engine::ListStringAttr(const void* list, std::int32_t index, std::string_view name,
                           std::string& value) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  const Variant::Attribute* attribute = nullptr;
  const int result = FindAttribute(list, index, name, attribute);
  if (result != ZTRTSIM_OK) return result;
  if (!attribute->isString) return ZTRTSIM_ERR_TYPE;
  try {
    value = attribute->text;
  } catch (...) {
    return ZTRTSIM_ERR_MEMORY;
  }
  return ZTRTSIM_OK;
}

int Engine::ListUI32Attr(const void* list, std::int32_t index, std::string_view name,
                         std::uint32_t& value) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  const Variant::Attribute* attribute = nullptr;
  const int result = FindAttribute(list, index, name, attribute);
  if (result != ZTRTSIM_OK) return result;
  if (attribute->isString) return ZTRTSIM_ERR_TYPE;
  value = attribute->number;
  return ZTRTSIM_OK;
}

int Engine::FindAttribute(const void* list, std::int32_t index, std::string_view name,
                          const Variant::Attribute*& attribute) noexcept {
  Variant* variant = nullptr;
  const int result = NameListReader(handles_, variants_, list).Element(index, variant);
  if (result != ZTRTSIM_OK) return result;
  attribute = variant != nullptr ? variant->Find(name) : nullptr;
  return attribute != nullptr ? ZTRTSIM_OK : ZTRTSIM_ERR_NOT_FOUND;
}

// Checks every slot before freeing anything, so a list with a stray pointer
// is refused whole rather than half disposed.
int Engine::DisposeNameList(const void* list) noexcept {
  std::lock_guard<std::mutex> lock(mutex_);
  const NameListReader reader(handles_, variants_, list);
  if (!reader.Valid()) return ZTRTSIM_ERR_HANDLE;
  for (std::int32_t i = 0; i < reader.Capacity(); ++i) {
    Variant* variant = nullptr;
    if (reader.Element(i, variant) != ZTRTSIM_OK) return ZTRTSIM_ERR_VARIANT;
  }
  for (std::int32_t i = 0; i < reader.Capacity(); ++i) {
    Variant* variant = nullptr;
    // A variant that sits in two slots is freed once; the second look finds it gone.
    if (reader.Element(i, variant) == ZTRTSIM_OK && variant != nullptr) variants_.Dispose(variant);
  }
  handles_.Release(list);
  return ZTRTSIM_OK;
}

}  // namespace ztrt
