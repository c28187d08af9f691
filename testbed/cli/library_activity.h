#pragma once
// Whether the simulated library is still being worked: its call counters,
// live objects and notifications, which change while a refresh or a
// delivery runs.
#include <cstdint>
#include <string>
#include <vector>

#include "morrow_library.h"

namespace kronel_names {

using LibraryActivity = std::vector<std::uint64_t>;

// Empty without a control API: an installed library shows no activity.
LibraryActivity ReadLibraryActivity(const SimulationControl* control);

// Operations the simulated library knows, by their method names.
bool IsLibraryOperation(const SimulationControl& control, const std::string& name);

}  // namespace kronel_names
