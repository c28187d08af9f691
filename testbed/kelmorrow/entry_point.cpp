#include "framework.h"
#include "framework_support.h"
#include "operation.h"

extern "C" HRESULT kelsysInstantiateFramework2(std::int32_t flag1, std::int32_t flag2,
                                               morrowkit::IqvSysFramework** framework) {
  using namespace kelmorrow;
  Clear(framework);
  return RunOperation("kelsysInstantiateFramework2", nullptr, [&]() -> HRESULT {
    if (framework == nullptr) return platform::kE_POINTER;
    if (!IsFlag(flag1) || !IsFlag(flag2)) return platform::kE_INVALIDARG;
    bool shared = Library::Instance().profile().frameworks == Profile::Frameworks::kShared;
    *framework = Framework::Obtain(flag1 != 0, flag2 != 0, shared);
    return platform::kS_OK;
  });
}
