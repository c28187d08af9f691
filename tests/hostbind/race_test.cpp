#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "hostbind/host_binder.h"
#include "scripted_modules.h"

namespace hostbind_test {
namespace {

constexpr std::uint32_t kTlsIndex = 3;
constexpr int kRounds = 20000;

// Threads resolve two functions at once: two modules of one version fight over
// one slot, a new version takes over an unloaded module's slot, the others
// read steadily. Every answer must be the caller's own module's address.
TEST(BinderRace, EveryCallReachesItsOwnModule) {
  ScriptedModules modules;
  modules.SetTlsIndex(kTlsIndex);
  hostbind::BindingRecord records[] = {hostbind::BindingRecord{"TargetURL"},
                                       hostbind::BindingRecord{"DSDisposeHandle"}};

  std::vector<ModuleHandle> eight;
  for (std::uint32_t v = 1; v <= 8; ++v) eight.push_back(modules.Add("v" + std::to_string(v) + ".dll", v));
  ModuleHandle twin = modules.Add("twin.dll", 1);
  ModuleHandle newcomer = modules.Add("v9.dll", 9);
  for (auto& record : records) {
    for (ModuleHandle module : eight) {
      ScriptedModules::SetThreadModule(module);
      hostbind::ResolveHostFunction(record, modules, nullptr, kTlsIndex);
    }
  }
  modules.Unload(eight[7]);

  std::atomic<int> wrong{0};
  std::atomic<int> fatal{0};
  std::atomic<int> waiting{6};
  auto worker = [&](std::vector<ModuleHandle> turns) {
    --waiting;
    while (waiting.load() > 0) std::this_thread::yield();
    for (int round = 0; round < kRounds; ++round) {
      ModuleHandle module = turns[round % turns.size()];
      ScriptedModules::SetThreadModule(module);
      for (auto& record : records) {
        try {
          void* address = hostbind::ResolveHostFunction(record, modules, nullptr, kTlsIndex);
          if (address != modules.AddressOf(module, record.name)) ++wrong;
        } catch (const FatalEnd&) {
          ++fatal;
        }
      }
    }
  };
  std::vector<std::thread> threads;
  threads.emplace_back(worker, std::vector<ModuleHandle>{eight[0], twin});
  threads.emplace_back(worker, std::vector<ModuleHandle>{twin, eight[0]});
  threads.emplace_back(worker, std::vector<ModuleHandle>{eight[0], twin, eight[2]});
  threads.emplace_back(worker, std::vector<ModuleHandle>{newcomer, eight[1]});
  threads.emplace_back(worker, std::vector<ModuleHandle>{newcomer, twin, eight[6]});
  threads.emplace_back(worker, std::vector<ModuleHandle>{eight[5], eight[4], eight[3]});
  for (auto& thread : threads) thread.join();

  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(fatal.load(), 0);
  for (auto& record : records) {
    auto taken = SlotOf(record, 7);
    EXPECT_EQ(taken.module, newcomer);
    EXPECT_EQ(taken.address, modules.AddressOf(newcomer, record.name));
  }
}

}  // namespace
}  // namespace hostbind_test
