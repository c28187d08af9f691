#include "hostbind/host_runtime.h"

#include "hostbind/binder_settings.h"

namespace hostbind {
namespace {

BindingRecord ztVariantPStrSetUI32AttrRecord{"ZtVariantPStrSetUI32Attr"};
BindingRecord targetURLRecord{"TargetURL"};
BindingRecord dsNewHClrRecord{"DSNewHClr"};
BindingRecord ztVariantPStrSetStringAttrRecord{"ZtVariantPStrSetStringAttr"};
BindingRecord lStrFromPtrRecord{"LStrFromPtr"};
BindingRecord dsDisposeHandleRecord{"DSDisposeHandle"};
BindingRecord convertUTF8StringToSystemRecord{"ConvertUTF8StringToSystem"};

template <typename Function>
Function Resolve(BindingRecord& record) {
  return reinterpret_cast<Function>(ResolveHostFunction(record));
}

}  // namespace

MgErr TargetURL(std::uint32_t appRef, LStrHandle* url) {
  return Resolve<TargetURLFn>(targetURLRecord)(appRef, url);
}

UHandle DSNewHClr(std::size_t size) { return Resolve<DSNewHClrFn>(dsNewHClrRecord)(size); }

MgErr ZtVariantPStrSetStringAttr(ZtVariantPtr* element, PStr name, LStrHandle value) {
  return Resolve<ZtVariantPStrSetStringAttrFn>(ztVariantPStrSetStringAttrRecord)(element, name, value);
}

MgErr ZtVariantPStrSetUI32Attr(ZtVariantPtr* element, PStr name, std::uint32_t value) {
  return Resolve<ZtVariantPStrSetUI32AttrFn>(ztVariantPStrSetUI32AttrRecord)(element, name, value);
}

MgErr LStrFromPtr(LStrHandle* slot, std::int32_t length, const unsigned char* bytes) {
  return Resolve<LStrFromPtrFn>(lStrFromPtrRecord)(slot, length, bytes);
}

MgErr ConvertUTF8StringToSystem(LStrHandle utf8, LStrHandle* system) {
  return Resolve<ConvertUTF8StringToSystemFn>(convertUTF8StringToSystemRecord)(utf8, system);
}

MgErr DSDisposeHandle(UHandle handle) { return Resolve<DSDisposeHandleFn>(dsDisposeHandleRecord)(handle); }

}  // namespace hostbind
