#include "kelerr/set_error.h"

#include "kelerr/json_append.h"
#include "kelerr/json_scanner.h"

namespace kelerr {

void SetError(ErrorStatus& record, std::int32_t code, const Member* members, std::size_t count) noexcept {
  if (record.code < 0) return;
  record.code = code;
  ResetToEmptyObject(record);
  if (!record.resize(&record, 4) || record.json == nullptr) return;

  char* position = FindAppendPoint(record.json);
  for (std::size_t i = 0; i < count && position != nullptr; ++i) {
    const Member& member = members[i];
    if (member.key == nullptr) break;
    position = member.is_number ? AppendInt(position, member.key, member.number, GrowRecord(record))
                                : AppendString(position, member.key, member.text, GrowRecord(record));
  }
}

void SetError(ErrorStatus& record, std::int32_t code, std::initializer_list<Member> members) noexcept {
  SetError(record, code, members.begin(), members.size());
}

}  // namespace kelerr
