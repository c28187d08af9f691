#include "fake_entry_point.h"

namespace morrowkit::test {

EntryPoint entry_point;

}  // namespace morrowkit::test

extern "C" HRESULT kelsysInstantiateFramework2(std::int32_t flag1, std::int32_t flag2,
                                               morrowkit::IqvSysFramework** framework) {
  morrowkit::test::EntryPoint& entry = morrowkit::test::entry_point;
  entry.flag1 = flag1;
  entry.flag2 = flag2;
  *framework = nullptr;
  if (entry.result < 0) return entry.result;
  *framework = entry.framework;
  if (entry.framework != nullptr) entry.framework->AddRef();
  return entry.result;
}
