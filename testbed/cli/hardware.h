#pragma once
// The tool's own copy of the hardware that the simulated library serves: the
// same records, read by the library's own description loader, each with the
// place it came from, kept in step with the changes a script applies.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "description_loader.h"
#include "json_value.h"

namespace kronel_names {

struct SourcedRecord {
  kelmorrow::RecordPtr record;
  std::string where;  // "file:line:column"
};

std::string Where(const std::string& source, kelmorrow::json::Position position);

class Hardware {
 public:
  // Throws kelmorrow::DescriptionError ("source:line:column: message").
  Hardware(std::string_view text, std::string source);

  // In the order the description names them.
  const std::vector<std::string>& describedTargets() const { return order_; }
  // Where each record the library serves for the target came from, in its
  // order: a record that refuses the property-bag interface is never served.
  std::vector<std::string> Places(const std::string& name) const;

  // `records` is the JSON array the change's records were read from, for
  // their places; ignored for a removal.
  void Apply(const std::string& target, const kelmorrow::Change& change,
             const kelmorrow::json::Value& records, const std::string& source);

 private:
  std::vector<std::string> order_;
  std::map<std::string, std::vector<SourcedRecord>> targets_;
};

}  // namespace kronel_names
