#include "variant.h"

namespace ztrt {

void Variant::SetString(std::string_view name, std::string_view value) {
  std::string text(value);
  Attribute& attribute = Slot(name);
  attribute.isString = true;
  attribute.text.swap(text);
  attribute.number = 0;
}

void Variant::SetUI32(std::string_view name, std::uint32_t value) {
  Attribute& attribute = Slot(name);
  attribute.isString = false;
  attribute.text.clear();
  attribute.number = value;
}

const Variant::Attribute* Variant::Find(std::string_view name) const noexcept {
  for (const Attribute& attribute : attributes_) {
    if (attribute.name == name) return &attribute;
  }
  return nullptr;
}

Variant::Attribute& Variant::Slot(std::string_view name) {
  for (Attribute& attribute : attributes_) {
    if (attribute.name == name) return attribute;
  }
  attributes_.push_back(Attribute{std::string(name), false, std::string(), 0});
  return attributes_.back();
}

Variant* VariantStore::Find(const void* address) const noexcept {
  auto it = live_.find(address);
  return it == live_.end() ? nullptr : it->second.get();
}

Variant* VariantStore::Create() {
  auto variant = std::make_unique<Variant>();
  Variant* address = variant.get();
  live_.emplace(address, std::move(variant));
  return address;
}

bool VariantStore::Dispose(const void* address) noexcept { return live_.erase(address) != 0; }

}  // namespace ztrt
