#pragma once
#include "morrowkit/framework/ckel_com_object.h"
#include "morrowkit/interfaces.h"

namespace morrowkit {

// The object the library calls on a change. It keeps no state: the receiver,
// a FrameworkNotificationHandler, comes back as the registration's context.
// Lives only inside CKelComObject<CqvNotificationHandler>.
class CqvNotificationHandler : public IqvSysNotificationHandler,
                               public virtual CKelComObjectRootEx<CKelComMultiThreadModelNoCS> {
 public:
  using Interface = IqvSysNotificationHandler;
  static constexpr Iid kInterfaceId = kIID_IqvSysNotificationHandler;

  // S_FALSE for a null context, E_POINTER for null names; otherwise hands the
  // names to the receiver. Never throws: a failure becomes the result.
  HRESULT OnConfigurationChanged(void* context, std::uint32_t kind, IqvSysEnumString* names) override;

  virtual ~CqvNotificationHandler() = default;
};

}  // namespace morrowkit
