#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ztrt {

// A host variant: named attributes, each a byte string or an unsigned 32-bit
// number, kept in the order in which they were first set.
class Variant {
 public:
  struct Attribute {
    std::string name;
    bool isString;
    std::string text;
    std::uint32_t number;
  };

  // Setting an attribute again replaces its value and type.
  void SetString(std::string_view name, std::string_view value);
  void SetUI32(std::string_view name, std::uint32_t value);
  const Attribute* Find(std::string_view name) const noexcept;
  const std::vector<Attribute>& Attributes() const noexcept { return attributes_; }

 private:
  Attribute& Slot(std::string_view name);

  std::vector<Attribute> attributes_;
};

// The live variants, by address. Addresses handed out are only ever compared
// with the keys here, so a stray pointer in an element slot is recognised.
class VariantStore {
 public:
  Variant* Find(const void* address) const noexcept;
  // Throws std::bad_alloc.
  Variant* Create();
  bool Dispose(const void* address) noexcept;
  std::size_t Count() const noexcept { return live_.size(); }
  void Clear() noexcept { live_.clear(); }

 private:
  std::unordered_map<const void*, std::unique_ptr<Variant>> live_;
};

}  // namespace ztrt
