#include "library_activity.h"

#include <limits>

#include "kelsim.h"

namespace kronel_names {
namespace {

// What a refresh and a notification call, in the library's words.
constexpr const char* kWatched[] = {"kelsysInstantiateFramework2", "QueryInterface", "SetNotificationHandler",
                                    "FindHardware", "Next", "HasProperty", "GetInt32", "GetUInt32", "GetString"};

}  // namespace

LibraryActivity ReadLibraryActivity() {
  LibraryActivity activity = {kelsimLiveObjects(), kelsimOutstandingReferences(), kelsimDeliveredNotifications(),
                              kelsimDroppedNotifications()};
  for (const char* operation : kWatched) activity.push_back(kelsimCallCount(operation));
  return activity;
}

bool IsLibraryOperation(const std::string& name) {
  return kelsimCallCount(name.c_str()) != std::numeric_limits<std::uint64_t>::max();
}

}  // namespace kronel_names
