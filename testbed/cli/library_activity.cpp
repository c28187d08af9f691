#include "library_activity.h"

#include <limits>

namespace kronel_names {
namespace {

// What a refresh and a notification call, in the library's words.
constexpr const char* kWatched[] = {"kelsysInstantiateFramework2",
                                    "QueryInterface",
                                    "SetNotificationHandler",
                                    "FindHardware",
                                    "Next",
                                    "HasProperty",
                                    "GetInt32",
                                    "GetUInt32",
                                    "GetString"};

}  // namespace

LibraryActivity ReadLibraryActivity(const SimulationControl* control) {
  if (control == nullptr) return {};
  LibraryActivity activity = {control->liveObjects(), control->outstandingReferences(),
                              control->deliveredNotifications(), control->droppedNotifications()};
  for (const char* operation : kWatched) activity.push_back(control->callCount(operation));
  return activity;
}

bool IsLibraryOperation(const SimulationControl& control, const std::string& name) {
  return control.callCount(name.c_str()) != std::numeric_limits<std::uint64_t>::max();
}

}  // namespace kronel_names
