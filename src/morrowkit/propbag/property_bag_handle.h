#pragma once
#include <cstdint>
#include <string>

#include "morrowkit/com_ptr.h"
#include "morrowkit/interfaces.h"

namespace morrowkit {

// One hardware record. Never null: construction from null throws
// UnexpectedException. Copies share the record and hold a reference each.
class PropertyBagHandle {
 public:
  // Takes a reference of its own; the caller keeps its one.
  explicit PropertyBagHandle(IqvSysPropertyBag* bag);
  PropertyBagHandle(const PropertyBagHandle& other) = default;
  PropertyBagHandle& operator=(const PropertyBagHandle& other) = default;
  ~PropertyBagHandle() = default;

  // Any failure of the library reads as absent.
  bool HasProperty(std::uint32_t tag) const;
  std::int32_t GetInt32(std::uint32_t tag) const;
  std::uint32_t GetUInt32(std::uint32_t tag) const;
  // Empty when the record holds no string under the tag (S_FALSE).
  std::string GetString(std::uint32_t tag) const;
  // Tag base + index; indexes from 4095 on throw FailException unread.
  std::string GetIndexedString(std::uint32_t base_tag, std::uint32_t index) const;

  IqvSysPropertyBag* Get() const noexcept { return bag_.Get(); }

  static constexpr std::uint32_t kIndexLimit = 4095;

 private:
  ComPtr<IqvSysPropertyBag> bag_;
};

}  // namespace morrowkit
