#include "support.h"

#include <algorithm>

#include "hostbind/binder_exports.h"
#include "kelsim.h"
#include "platform/work_pool.h"
#include "provider/exports.h"
#include "thread_start.h"
#include "ztrtsim.h"

namespace kronel_bench {
namespace {

bool g_smoke = false;

void Nothing(void*) noexcept {}

template <class Fn>
Fn Export(platform::ModuleHandle module, const char* name) {
  return module == nullptr ? nullptr : reinterpret_cast<Fn>(platform::GetProcAddress(module, name));
}

}  // namespace

const char kTarget[] = "rt-bench";

bool SubmitNothing() { return platform::SubmitWork(&Nothing, nullptr); }

bool Smoke() { return g_smoke; }
void SetSmoke(bool smoke) { g_smoke = smoke; }

bool LoadDescription(const std::string& text, std::string& error) {
  char message[512] = "";
  if (kelsimLoadText(text.c_str(), "bench.json", message, sizeof message) == 0) return true;
  error = message;
  return false;
}

std::string Description(const std::string& target, const std::string& records) {
  return R"({"targets": {")" + target + R"(": {"records": [)" + records + "]}}}";
}

std::string MixedRecords(std::size_t count) {
  std::string records;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    if (i > 0) records += ",\n";
    switch (i % 10) {
      case 0:
      case 1:
      case 2:
      case 3:
        records += R"({"status": 1, "modelCode": "0x7066", "resourceName": "Rack1Slot)" + n + R"("})";
        break;
      case 4:
        records +=
            R"({"status": 1, "modelCode": "0x78C7", "sourceNames": ["mdns", "network"], "hostName": "rt-)" +
            n + R"("})";
        break;
      case 5:
        records += R"({"status": 1, "operatingSystem": "KEL-Linux x64", "sourceNames": ["kelsyscfg"],)"
                   R"( "sourceResourceName": "system"})";
        break;
      case 6:
      case 7:
        records += R"({"status": 0, "modelCode": "0x7066", "resourceName": "Off)" + n + R"("})";
        break;
      case 8:
        records += R"({"status": 1, "modelCode": "0x1234", "resourceName": "Unlisted)" + n + R"("})";
        break;
      default:
        records += R"({"modelCode": "0x7066", "resourceName": "NoStatus)" + n + R"("})";
        break;
    }
  }
  return records;
}

Plugin& Plugin::Instance() {
  // Never unloaded: a refresh worker may still be on its way out.
  static Plugin* plugin = new Plugin();
  return *plugin;
}

Plugin& Plugin::Linked() {
  static Plugin* plugin = new Plugin(&::GetIOControlNames, &::ReleasingAppRef, &::SetZTRTModule);
  return *plugin;
}

Plugin::Plugin() {
  platform::ModuleHandle module = platform::LoadLibraryA("kronel_ztprovider.dll");
  getNames_ = Export<GetIOControlNamesFn>(module, "GetIOControlNames");
  release_ = Export<void (*)(std::uint32_t)>(module, "ReleasingAppRef");
  setModule_ = Export<void (*)(platform::ModuleHandle)>(module, "SetZTRTModule");
}

bool SetUpTarget(std::uint32_t refs, std::string& error) {
  kelsimReset();
  ztrtsimReset();
  if (!LoadDescription(Description(kTarget, MixedRecords(20)), error)) return false;
  for (std::uint32_t ref = 1; ref <= refs; ++ref) {
    ztrtsimSetTargetURL(ref, kTarget, static_cast<std::int32_t>(sizeof kTarget - 1));
  }
  if (!Plugin::Instance().Loaded()) {
    error = "the plug-in did not load";
    return false;
  }
  return true;
}

void TearDownTarget(std::uint32_t refs) {
  kelsimClearFailures();
  for (std::uint32_t ref = 1; ref <= refs; ++ref) Plugin::Instance().ReleasingAppRef(ref);
  WaitFor([] { return kelsimLiveObjects() == 0; });
  Plugin::Instance().SetZTRTModule(nullptr);
}

bool PollUntilWritten(std::uint32_t appRef, std::chrono::milliseconds patience) {
  return PollUntilWritten(Plugin::Instance(), appRef, patience);
}

bool PollUntilWritten(const Plugin& plugin, std::uint32_t appRef, std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  auto left = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  };
  std::int32_t answer = -1;
  auto call = [&] {
    hostbind::UHandle slot = nullptr;
    answer = plugin.GetIOControlNames(appRef, &slot);
    const std::int32_t count = slot != nullptr ? ztrtsimListCount(slot) : 0;
    if (slot != nullptr) ztrtsimDisposeNameList(slot);
    return count;
  };
  // A call made while the first refresh runs delivers the empty list it starts with.
  if (!WaitFor([&] { return call() > 2 && answer == 0; }, left())) return false;
  // A request made while that refresh was starting may have asked for another;
  // settled once the answer stays "unchanged" with no query begun meanwhile.
  std::uint64_t queries = kelsimCallCount("FindHardware");
  auto quietSince = std::chrono::steady_clock::now();
  return WaitFor(
      [&] {
        call();
        const std::uint64_t now = kelsimCallCount("FindHardware");
        if (answer != 1 || now != queries) {
          queries = now;
          quietSince = std::chrono::steady_clock::now();
          return false;
        }
        return std::chrono::steady_clock::now() - quietSince >= std::chrono::milliseconds(50);
      },
      left());
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Max(const std::vector<double>& values) { return *std::max_element(values.begin(), values.end()); }

}  // namespace kronel_bench
