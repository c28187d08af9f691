#pragma once
#include <cstdint>

#if defined(_WIN32)
typedef long HRESULT;
#else
typedef std::int32_t HRESULT;
#endif

namespace platform {

constexpr HRESULT kS_OK = 0;
constexpr HRESULT kS_FALSE = 1;
constexpr HRESULT kE_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT kE_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT kE_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT kE_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT kE_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT kE_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);

inline bool Failed(HRESULT hr) { return hr < 0; }

}  // namespace platform
