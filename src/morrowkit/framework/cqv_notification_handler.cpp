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
  if (names == nullptr) return platform::kE_POINTER;
  try {
    const std::vector<std::string> collected = ReadTexts(names, nullptr);
    static_cast<FrameworkNotificationHandler*>(context)->OnNotification(kind, collected);
    return platform::kS_OK;
  } catch (const HResultException& e) {
    return e.Code();
  } catch (...) {
    return platform::kE_FAIL;
  }
}

}  // namespace morrowkit
