#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "platform/module.h"
#include "support/test_modules.h"

namespace hostbind_test {
namespace {

using TargetURLFn = int (*)(std::uint32_t, void*);

// A loaded module is found by its name and its exports by theirs; once
// unloaded, it is neither found nor has a file name.
TEST(PlatformModule, LoadedModulesAndTheirExports) {
  LoadedModule v1("binder_v1");
  ASSERT_NE(v1.handle(), nullptr);
  EXPECT_EQ(platform::GetModuleHandleA("binder_v1.dll"), v1.handle());

  void* targetURL = platform::GetProcAddress(v1.handle(), "TargetURL");
  ASSERT_NE(targetURL, nullptr);
  EXPECT_EQ(reinterpret_cast<TargetURLFn>(targetURL)(0, nullptr), 101);
  EXPECT_EQ(platform::GetProcAddress(v1.handle(), "NoSuchExport"), nullptr);

  char path[261];
  std::uint32_t length = platform::GetModuleFileNameA(v1.handle(), path, sizeof path);
  EXPECT_EQ(length, std::strlen(path));
  EXPECT_NE(std::string(path).find("binder_v1."), std::string::npos) << path;

  v1.Unload();
  EXPECT_EQ(platform::GetModuleHandleA("binder_v1.dll"), nullptr);
  EXPECT_EQ(platform::GetModuleFileNameA(v1.handle(), path, sizeof path), 0u);
}

// The main program's file name is always found; a short buffer gets a
// terminated prefix and its size as the result.
TEST(PlatformModule, MainProgramFileName) {
  char path[261];
  std::uint32_t length = platform::GetModuleFileNameA(nullptr, path, sizeof path);
  ASSERT_GT(length, 0u);
  EXPECT_NE(std::string(path).find("test_hostbind_modules"), std::string::npos) << path;
  EXPECT_EQ(platform::GetModuleFileNameA(platform::GetModuleHandleA(nullptr), path, sizeof path), length);

  char shortBuffer[8];
  EXPECT_EQ(platform::GetModuleFileNameA(nullptr, shortBuffer, sizeof shortBuffer), 8u);
  EXPECT_EQ(shortBuffer[7], '\0');
  EXPECT_EQ(std::string(shortBuffer), std::string(path, 7));
}

// Only the module's own exports count, not those of what it depends on.
TEST(PlatformModule, OwnExportsOnly) {
  platform::ModuleHandle main = platform::GetModuleHandleA(nullptr);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(platform::GetProcAddress(main, "malloc"), nullptr);
  EXPECT_EQ(platform::GetProcAddress(main, "gZTRTVersion"), nullptr);
}

TEST(PlatformModule, ImageVersionKey) {
  LoadedModule v3("binder_v3");
  EXPECT_EQ(platform::ImageVersionKey(v3.handle()), KRONEL_IMAGE_VERSIONS ? 0x00070003u : 0u);
}

// TLS values are per thread and start null.
TEST(PlatformModule, TlsValues) {
  std::uint32_t index = platform::TlsAlloc();
  ASSERT_NE(index, platform::kTlsOutOfIndexes);
  int value = 0;
  EXPECT_EQ(platform::TlsGetValue(index), nullptr);
  ASSERT_TRUE(platform::TlsSetValue(index, &value));
  EXPECT_EQ(platform::TlsGetValue(index), &value);
  std::atomic<void*> seen{&value};
  std::thread([&] { seen = platform::TlsGetValue(index); }).join();
  EXPECT_EQ(seen.load(), nullptr);
  EXPECT_TRUE(platform::TlsFree(index));
}

}  // namespace
}  // namespace hostbind_test
