#pragma once
// The records of targets as the library reports them through its contract:
// each property the discovery reads, with its type, its value or its
// failure. Written as a hardware description, so that --hardware replays it.
#include <string>
#include <vector>

namespace kronel_names {

struct Dump {
  std::string description;  // JSON, ending in a newline
  std::size_t records = 0;
  // Each failure the library answered, "target "x", record 2: ...".
  std::vector<std::string> failures;
};

// Throws morrowkit::HResultException when no framework can be had.
Dump DumpTargets(const std::vector<std::string>& targets);

}  // namespace kronel_names
