#pragma once
#include <cstdint>
#include <string>

namespace morrowkit {

// What the framework operations with more than one result hand back.

struct AliasResolution {
  bool found = false;
  std::string resource_name;
  std::string target_name;
};

struct RecordValidation {
  bool valid = false;
  std::string report;
};

struct ResourceReservation {
  std::int32_t previous_owner = 0;
  std::string holder;
};

struct LicenseState {
  bool licensed = false;
  std::string text;
};

template <class BagHandle>
struct ImportedConfiguration {
  BagHandle settings;
  std::string source;
};

struct ExportedConfiguration {
  bool complete = false;
  std::string text;
};

}  // namespace morrowkit
