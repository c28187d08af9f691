#pragma once
// Turns a JSON hardware description, or a change to one target, into a new
// model. Nothing is kept from a text that is rejected.
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "hardware_model.h"
#include "json_value.h"
#include "profile.h"

namespace kelmorrow {

// what() is "source:line:column: message".
class DescriptionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Change {
  morrowkit::ChangeKind kind = morrowkit::kChangeRecordsReplaced;
  std::vector<RecordPtr> records;  // replace, add
  std::vector<std::pair<platform::WideString, json::Position>> removals;
};

Model LoadDescription(std::string_view text, const std::string& source);
Change LoadChange(std::string_view text, const std::string& source);
// Members left out keep their values in `base`.
Profile LoadProfile(std::string_view text, const std::string& source, const Profile& base = Profile());

}  // namespace kelmorrow
