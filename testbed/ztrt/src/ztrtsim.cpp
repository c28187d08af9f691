#include "ztrtsim.h"

#include <cstring>
#include <string>

#include "engine.h"

using ztrt::Engine;

namespace {

bool ToFunction(int number, ztrt::Function& function) {
  if (number < 0 || number >= ztrt::kFunctionCount) return false;
  function = static_cast<ztrt::Function>(number);
  return true;
}

int CopyOut(const std::string& bytes, char* buffer, size_t size, size_t* length) {
  if (length != nullptr) *length = bytes.size();
  if (buffer == nullptr && size != 0) return ZTRTSIM_ERR_ARGUMENT;
  if (size < bytes.size()) return ZTRTSIM_ERR_BUFFER;
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  if (size > bytes.size()) buffer[bytes.size()] = '\0';
  return ZTRTSIM_OK;
}

template <typename Read>
int ReadText(Read read, char* buffer, size_t size, size_t* length) {
  try {
    std::string text;
    const int result = read(text);
    return result != ZTRTSIM_OK ? result : CopyOut(text, buffer, size, length);
  } catch (...) {
    return ZTRTSIM_ERR_MEMORY;
  }
}

}  // namespace

extern "C" {

void ztrtsimReset(void) { Engine::Instance().Reset(); }

int ztrtsimSetTargetURL(uint32_t appRef, const char* bytes, int32_t length) {
  if (length < 0 || (bytes == nullptr && length > 0)) return ZTRTSIM_ERR_ARGUMENT;
  const std::string_view text = length == 0 ? std::string_view() : std::string_view(bytes, static_cast<size_t>(length));
  return Engine::Instance().SetTargetUrl(appRef, text);
}

int ztrtsimSetTargetURLNull(uint32_t appRef) { return Engine::Instance().SetTargetUrlNull(appRef); }

int ztrtsimSetTargetURLFailure(uint32_t appRef, int32_t status) {
  return Engine::Instance().SetTargetUrlFailure(appRef, status);
}

int ztrtsimRemoveTargetURL(uint32_t appRef) { return Engine::Instance().RemoveTargetUrl(appRef); }

int ztrtsimSetEncoding(int encoding) {
  if (encoding == ZTRTSIM_ENCODING_UTF8) {
    Engine::Instance().SetEncoding(ztrt::SystemEncoding::Utf8);
  } else if (encoding == ZTRTSIM_ENCODING_WINDOWS_1252) {
    Engine::Instance().SetEncoding(ztrt::SystemEncoding::Windows1252);
  } else {
    return ZTRTSIM_ERR_ARGUMENT;
  }
  return ZTRTSIM_OK;
}

int ztrtsimGetEncoding(void) {
  return Engine::Instance().Encoding() == ztrt::SystemEncoding::Utf8 ? ZTRTSIM_ENCODING_UTF8
                                                                     : ZTRTSIM_ENCODING_WINDOWS_1252;
}

int ztrtsimFailCall(int function, uint32_t nth, int32_t status) {
  ztrt::Function which{};
  if (!ToFunction(function, which)) return ZTRTSIM_ERR_ARGUMENT;
  Engine::Instance().FailCall(which, nth, status);
  return ZTRTSIM_OK;
}

void ztrtsimClearFailures(void) { Engine::Instance().ClearFailures(); }

int64_t ztrtsimCallCount(int function) {
  ztrt::Function which{};
  return ToFunction(function, which) ? Engine::Instance().Calls(which) : -1;
}

int64_t ztrtsimLiveHandles(void) { return Engine::Instance().LiveHandles(); }

int64_t ztrtsimLiveVariants(void) { return Engine::Instance().LiveVariants(); }

int64_t ztrtsimRejectedDisposals(void) { return Engine::Instance().RejectedDisposals(); }

int64_t ztrtsimHandleSize(const void* handle) { return Engine::Instance().HandleSize(handle); }

int32_t ztrtsimListCount(const void* list) { return Engine::Instance().ListCount(list); }

int32_t ztrtsimListCapacity(const void* list) { return Engine::Instance().ListCapacity(list); }

int32_t ztrtsimListElementAttrCount(const void* list, int32_t index) {
  return Engine::Instance().ListElementAttrCount(list, index);
}

int ztrtsimListGetAttrName(const void* list, int32_t index, int32_t position, char* buffer, size_t size,
                           size_t* length) {
  return ReadText([&](std::string& name) { return Engine::Instance().ListAttrName(list, index, position, name); },
                  buffer, size, length);
}

int ztrtsimListGetStringAttr(const void* list, int32_t index, const char* name, char* buffer, size_t size,
                             size_t* length) {
  if (name == nullptr) return ZTRTSIM_ERR_ARGUMENT;
  return ReadText([&](std::string& value) { return Engine::Instance().ListStringAttr(list, index, name, value); },
                  buffer, size, length);
}

int ztrtsimListGetUI32Attr(const void* list, int32_t index, const char* name, uint32_t* value) {
  if (name == nullptr || value == nullptr) return ZTRTSIM_ERR_ARGUMENT;
  return Engine::Instance().ListUI32Attr(list, index, name, *value);
}

int ztrtsimDisposeNameList(void* list) { return Engine::Instance().DisposeNameList(list); }

}
