#pragma once
#include <cstdint>
#include <cstring>

namespace morrowkit {

// Same layout as the Windows GUID, so interface ids cross the boundary unchanged.
struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};
using Iid = Guid;

inline bool operator==(const Guid& a, const Guid& b) { return std::memcmp(&a, &b, sizeof(Guid)) == 0; }
inline bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }

}  // namespace morrowkit
