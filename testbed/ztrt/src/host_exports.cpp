#include "engine.h"
#include "ztrt_exports.h"

using ztrt::Engine;

extern "C" {

hostbind::MgErr TargetURL(std::uint32_t appRef, hostbind::LStrHandle* url) {
  return Engine::Instance().TargetURL(appRef, url);
}

hostbind::UHandle DSNewHClr(std::size_t size) { return Engine::Instance().NewHandleClr(size); }

hostbind::MgErr ZtVariantPStrSetStringAttr(hostbind::ZtVariantPtr* element, hostbind::PStr name,
                                           hostbind::LStrHandle value) {
  return Engine::Instance().SetStringAttr(element, name, value);
}

hostbind::MgErr ZtVariantPStrSetUI32Attr(hostbind::ZtVariantPtr* element, hostbind::PStr name,
                                         std::uint32_t value) {
  return Engine::Instance().SetUI32Attr(element, name, value);
}

hostbind::MgErr LStrFromPtr(hostbind::LStrHandle* slot, std::int32_t length, const unsigned char* bytes) {
  return Engine::Instance().StringFromBytes(slot, length, bytes);
}

hostbind::MgErr ConvertUTF8StringToSystem(hostbind::LStrHandle utf8, hostbind::LStrHandle* system) {
  return Engine::Instance().ConvertToSystem(utf8, system);
}

hostbind::MgErr DSDisposeHandle(hostbind::UHandle handle) { return Engine::Instance().DisposeHandle(handle); }

}
