#include "provider/name_list.h"

#include <cstring>

#include "hostbind/host_runtime.h"
#include "ztdataconv/auto_lstr_handle.h"
#include "ztdataconv/convert.h"

namespace provider {
namespace {

// A length byte, the characters, a zero. The host goes by the length byte,
// so it reads the names "n", "f", "g" and "id".
const unsigned char kAttrName[] = {0x01, 'n', 'a', 'm', 'e', 0x00};
const unsigned char kAttrFlag[] = {0x01, 'f', 'l', 'a', 'g', 0x00};
const unsigned char kAttrGlyph[] = {0x01, 'g', 'l', 'y', 'p', 'h', 0x00};
const unsigned char kAttrId[] = {0x02, 'i', 'd', 0x00};

constexpr std::uint32_t kNameFlags = 0x30000;
constexpr std::size_t kHeadBytes = 8;
constexpr std::size_t kElementBytes = 8;

// The block may move between host calls; always go through the handle.
hostbind::ZtVariantPtr* Element(hostbind::UHandle list, std::size_t index) {
  return reinterpret_cast<hostbind::ZtVariantPtr*>(static_cast<unsigned char*>(*list) + kHeadBytes +
                                                   kElementBytes * index);
}

}  // namespace

std::int32_t WriteNameList(const std::vector<std::string>& names, hostbind::UHandle* slot) {
  const std::size_t n = names.size();
  static_assert(sizeof(hostbind::ZtVariantPtr) == kElementBytes, "elements are 8-byte pointers");
  const hostbind::UHandle list = hostbind::DSNewHClr(kHeadBytes + kElementBytes * (n + 2));
  *slot = list;
  if (list == nullptr) return kListNoMemory;

  for (std::size_t i = 0; i < n; ++i) {
    ztdataconv::AutoLStrHandle name;
    ztdataconv::ConvertToLStrHandle(names[i], name.Slot());
    if (name.Get() != nullptr) hostbind::ZtVariantPStrSetStringAttr(Element(list, i), kAttrName, name.Get());
    hostbind::ZtVariantPStrSetUI32Attr(Element(list, i), kAttrFlag, kNameFlags);
  }
  hostbind::ZtVariantPStrSetUI32Attr(Element(list, n), kAttrGlyph, 0xFFFFFFFFu);
  hostbind::ZtVariantPStrSetUI32Attr(Element(list, n), kAttrId, 0xFFFFFFFFu);
  hostbind::ZtVariantPStrSetUI32Attr(Element(list, n), kAttrFlag, kNameFlags);
  hostbind::ZtVariantPStrSetUI32Attr(Element(list, n + 1), kAttrId, 3);
  hostbind::ZtVariantPStrSetUI32Attr(Element(list, n + 1), kAttrFlag, kNameFlags);

  const std::int32_t count = static_cast<std::int32_t>(n + 2);
  std::memcpy(*list, &count, sizeof count);
  return kListWritten;
}

}  // namespace provider
