#pragma once
// How every operation of the library runs: counted, delayed, possibly
// answered by an injected result, never letting an exception out.
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "library.h"
#include "platform/hresult.h"
#include "platform/ole.h"

namespace kelmorrow {

constexpr HRESULT kE_NotImpl = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT kRpcE_Disconnected = static_cast<HRESULT>(0x80010108u);
constexpr HRESULT kE_Bounds = static_cast<HRESULT>(0x8000000Bu);
constexpr HRESULT kE_ElementNotFound = static_cast<HRESULT>(0x80070490u);
constexpr HRESULT kE_AlreadyExists = static_cast<HRESULT>(0x800700B7u);
constexpr HRESULT kE_Busy = static_cast<HRESULT>(0x800700AAu);
constexpr HRESULT kE_NotReady = static_cast<HRESULT>(0x80070015u);
constexpr HRESULT kE_Timeout = static_cast<HRESULT>(0x800705B4u);

// An owned BSTR until handed out.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const platform::WideString& text);  // throws std::bad_alloc
  explicit Bstr(std::string_view utf8);              // throws std::bad_alloc
  ~Bstr() { platform::SysFreeString(text_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR Detach() { return std::exchange(text_, nullptr); }
  // Hands the string to an optional out parameter, or frees it.
  void HandTo(BSTR* out) {
    if (out != nullptr) *out = Detach();
  }

 private:
  BSTR text_ = nullptr;
};

template <class Body>
HRESULT RunOperation(const char* name, BSTR* detail, Body&& body) {
  Library& library = Library::Instance();
  OperationControl& control = library.control();
  HRESULT result;
  std::optional<HRESULT> injected = control.Enter(name);
  library.ApplyScheduled(name);
  if (injected) {
    result = *injected;
    if (platform::Failed(result) && detail != nullptr) {
      try {
        Bstr("injected failure of " + std::string(name)).HandTo(detail);
      } catch (const std::bad_alloc&) {
      }
    }
  } else {
    try {
      result = body();
    } catch (const std::bad_alloc&) {
      result = platform::kE_OUTOFMEMORY;
    } catch (...) {
      result = platform::kE_FAIL;
    }
  }
  if (platform::Failed(result)) control.CountFailure();
  return result;
}

template <class T>
void Clear(T* out) {
  if (out != nullptr) *out = T{};
}

}  // namespace kelmorrow

namespace kelmorrow {

// `find` gives the interface asked for as IUnknown (same address), or null.
template <class Find>
HRESULT AnswerQuery(void** object, Find&& find) {
  Clear(object);
  return RunOperation("QueryInterface", nullptr, [&]() -> HRESULT {
    if (object == nullptr) return platform::kE_POINTER;
    morrowkit::IUnknown* found = find();
    if (found == nullptr) return platform::kE_NOINTERFACE;
    found->AddRef();
    *object = found;
    return platform::kS_OK;
  });
}

}  // namespace kelmorrow
