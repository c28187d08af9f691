#include "hresult_text.h"

#include <cstdio>

namespace kronel_names {
namespace {

struct Known {
  std::uint32_t code;
  const char* name;
};

constexpr Known kKnown[] = {
    {0x00000000u, "S_OK"},
    {0x00000001u, "S_FALSE"},
    {0x80004001u, "E_NOTIMPL"},
    {0x80004002u, "E_NOINTERFACE"},
    {0x80004003u, "E_POINTER"},
    {0x80004004u, "E_ABORT"},
    {0x80004005u, "E_FAIL"},
    {0x8000FFFFu, "E_UNEXPECTED"},
    {0x80010108u, "RPC_E_DISCONNECTED"},
    {0x80020005u, "DISP_E_TYPEMISMATCH"},
    {0x80070005u, "E_ACCESSDENIED"},
    {0x80070006u, "E_HANDLE"},
    {0x8007000Eu, "E_OUTOFMEMORY"},
    {0x80070015u, "ERROR_NOT_READY"},
    {0x80070057u, "E_INVALIDARG"},
    {0x8007007Eu, "ERROR_MOD_NOT_FOUND"},
    {0x80070490u, "ERROR_NOT_FOUND"},
    {0x800705B4u, "ERROR_TIMEOUT"},
    {0x800706BAu, "RPC_S_SERVER_UNAVAILABLE"},
};

}  // namespace

const char* HResultName(std::int32_t result) {
  for (const Known& known : kKnown) {
    if (known.code == static_cast<std::uint32_t>(result)) return known.name;
  }
  return "";
}

std::string HexResult(std::int32_t result) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(result)));
  return buffer;
}

std::string HResultText(std::int32_t result) {
  const std::string hex = HexResult(result);
  const std::string name = HResultName(result);
  return name.empty() ? hex : hex + " (" + name + ")";
}

}  // namespace kronel_names
