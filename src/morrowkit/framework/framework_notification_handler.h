#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace morrowkit {

// The receiver of a target's change notifications. Called on a thread of
// the library's; an exception thrown here reaches the library as an HRESULT.
class FrameworkNotificationHandler {
 public:
  virtual void OnNotification(std::uint32_t kind, const std::vector<std::string>& names) = 0;

 protected:
  ~FrameworkNotificationHandler() = default;
};

}  // namespace morrowkit
