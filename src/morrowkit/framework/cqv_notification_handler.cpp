#include "morrowkit/framework/cqv_notification_handler.h"

#include <string>
#include <vector>

#include "morrowkit/framework/enumerators.h"
#include "morrowkit/framework/framework_notification_handler.h"
#include "morrowkit/hresult_exception.h"

namespace morrowkit {

HRESULT CqvNotificationHandler::OnConfigurationChanged(void* context, std::uint32_t kind,
                                                       IqvSysEnumString* names) {
  if (context == nullptr) return platform::kS_FALSE;
  // A change whose names cannot be read is still a change: the receiver
  // hears of it, and the library is told of the failure.
  HRESULT status = platform::kS_OK;
  std::vector<std::string> collected;
  try {
    if (names == nullptr) {
      status = platform::kE_POINTER;
    } else {
      collected = ReadTexts(names, nullptr);
    }
  } catch (const HResultException& e) {
    status = e.Code();
  } catch (...) {
    status = platform::kE_FAIL;
  }
  try {
    static_cast<FrameworkNotificationHandler*>(context)->OnNotification(kind, collected);
  } catch (const HResultException& e) {
    return e.Code();
  } catch (...) {
    return platform::kE_FAIL;
  }
  return status;
}

}  // namespace morrowkit
