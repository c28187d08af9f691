#pragma once
// Whether the simulated library is still being worked: its call counters,
// live objects and notifications, which change while a refresh or a
// delivery runs.
#include <cstdint>
#include <string>
#include <vector>

namespace kronel_names {

using LibraryActivity = std::vector<std::uint64_t>;

LibraryActivity ReadLibraryActivity();

// Operations the simulated library knows, by their method names.
bool IsLibraryOperation(const std::string& name);

}  // namespace kronel_names
