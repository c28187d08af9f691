#pragma once
// Everything a hardware description holds: the targets with their records,
// the library's settings record and its licence.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "profile.h"
#include "record.h"

namespace kelmorrow {

using RecordPtr = std::shared_ptr<Record>;

struct Target {
  std::vector<RecordPtr> records;
  platform::WideString hostName;
  platform::WideString description;
  bool enabled = true;
  std::map<platform::WideString, platform::WideString> aliases;  // alias -> resource name
  std::optional<HRESULT> findHardwareFailure;
  bool findHardwareNull = false;
};

struct Model {
  // Keyed by UTF-8 name; "" is the local machine and always exists.
  std::map<std::string, Target> targets{{std::string(), Target()}};
  RecordPtr settings = std::make_shared<Record>();
  bool licensed = true;
  platform::WideString licenseText;
  std::string sourceName;
  // Only when the description gives one.
  std::optional<Profile> profile;
};

}  // namespace kelmorrow
