#include "framework.h"

#include <atomic>
#include <mutex>

#include "operation.h"

namespace kelmorrow {
namespace {

std::atomic<std::uint64_t> g_nextSerial{1};
std::mutex g_sharedMutex;
Framework* g_shared = nullptr;  // may be on its way out: take it only with TryAdd

}  // namespace

Framework::Framework(bool flag1, bool flag2)
    : serial_(g_nextSerial.fetch_add(1)),
      service_(Library::Instance().notifier().Service()),
      flag1_(flag1),
      flag2_(flag2) {}

bool Framework::Disconnected() const { return service_ != Library::Instance().notifier().Service(); }

Framework* Framework::Obtain(bool flag1, bool flag2, bool shared) {
  if (!shared) return new Framework(flag1, flag2);
  std::lock_guard<std::mutex> lock(g_sharedMutex);
  // One made before a restart is left to those who hold it.
  if (g_shared != nullptr && !g_shared->Disconnected() && g_shared->refs_.TryAdd()) return g_shared;
  g_shared = new Framework(flag1, flag2);
  return g_shared;
}

HRESULT Framework::QueryInterface(const morrowkit::Iid& iid, void** object) {
  return AnswerQuery(object, [&]() -> morrowkit::IUnknown* {
    if (iid == morrowkit::kIID_IUnknown || iid == morrowkit::kIID_IqvSysFramework ||
        iid == morrowkit::kIID_IqvSysFramework2 || iid == morrowkit::kIID_IqvSysFramework3) {
      return static_cast<morrowkit::IqvSysFramework3*>(this);
    }
    if (iid == morrowkit::kIID_IqvSysDiagnostics) return static_cast<morrowkit::IqvSysDiagnostics*>(this);
    return nullptr;
  });
}

std::uint32_t Framework::AddRef() { return refs_.Add(); }

std::uint32_t Framework::Release() {
  std::uint32_t left = refs_.Drop();
  if (left == 0) {
    {
      std::lock_guard<std::mutex> lock(g_sharedMutex);
      if (g_shared == this) g_shared = nullptr;
    }
    delete this;
  }
  return left;
}

HRESULT Framework::Reserved18() { return Run("Reserved18", nullptr, [] { return kE_NotImpl; }); }
HRESULT Framework::Reserved19() { return Run("Reserved19", nullptr, [] { return kE_NotImpl; }); }
HRESULT Framework::Reserved20() { return Run("Reserved20", nullptr, [] { return kE_NotImpl; }); }
HRESULT Framework::Reserved21() { return Run("Reserved21", nullptr, [] { return kE_NotImpl; }); }
HRESULT Framework::Reserved29() { return Run("Reserved29", nullptr, [] { return kE_NotImpl; }); }
HRESULT Framework::Reserved30() { return Run("Reserved30", nullptr, [] { return kE_NotImpl; }); }
HRESULT Framework::Reserved31() { return Run("Reserved31", nullptr, [] { return kE_NotImpl; }); }
HRESULT Framework::Reserved32() { return Run("Reserved32", nullptr, [] { return kE_NotImpl; }); }

}  // namespace kelmorrow
