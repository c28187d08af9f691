#include "road.h"

#include "kelsim.h"
#include "library_profiles.h"
#include "ztrtsim.h"

namespace road {

integration::Plugin& ThePlugin() {
  static integration::Plugin plugin;
  return plugin;
}

bool NameAt(const void* list, std::int32_t index, std::string& name) {
  std::string buffer(256, '\0');
  size_t length = 0;
  int status = ztrtsimListGetStringAttr(list, index, "n", &buffer[0], buffer.size(), &length);
  if (status == ZTRTSIM_ERR_BUFFER) {
    buffer.resize(length + 1);
    status = ztrtsimListGetStringAttr(list, index, "n", &buffer[0], buffer.size(), &length);
  }
  if (status != ZTRTSIM_OK) return false;
  name.assign(buffer.data(), length);
  return true;
}

Names DecodeList(const void* list) {
  Names names;
  const std::int32_t count = ztrtsimListCount(list);
  EXPECT_GE(count, 2);
  if (count < 2) return names;
  EXPECT_EQ(ztrtsimHandleSize(list), 8 * std::int64_t{count - 2} + 24);
  names.reserve(static_cast<std::size_t>(count - 2));
  for (std::int32_t i = 0; i + 2 < count; ++i) {
    std::string name;
    EXPECT_TRUE(NameAt(list, i, name)) << "element " << i << " has no name";
    names.push_back(std::move(name));
    std::uint32_t flag = 0;
    EXPECT_EQ(ztrtsimListGetUI32Attr(list, i, "f", &flag), ZTRTSIM_OK);
    EXPECT_EQ(flag, 0x30000u);
  }
  std::uint32_t value = 0;
  EXPECT_EQ(ztrtsimListGetUI32Attr(list, count - 2, "g", &value), ZTRTSIM_OK);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_EQ(ztrtsimListGetUI32Attr(list, count - 2, "id", &value), ZTRTSIM_OK);
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_EQ(ztrtsimListGetUI32Attr(list, count - 1, "id", &value), ZTRTSIM_OK);
  EXPECT_EQ(value, 3u);
  return names;
}

void RoadTest::SetUp() {
  ASSERT_TRUE(ThePlugin().Loaded());
  // Named as Zentro names it: found anew, the module costs a dlopen per host
  // call, which ThreadSanitizer makes slow enough to starve large and busy tests.
  ThePlugin().SetZTRTModule(platform::GetModuleHandleA("ztrt.dll"));
  kelsimReset();
  ApplyProfile(ProfileOfThisRun());
  ztrtsimReset();
  ASSERT_EQ(ztrtsimSetTargetURLNull(1), ZTRTSIM_OK);
}

void RoadTest::TearDown() {
  if (!ThePlugin().Loaded()) return;
  ThePlugin().SetZTRTModule(nullptr);
  for (std::uint32_t ref = 1; ref <= kLastRef; ++ref) ThePlugin().ReleasingAppRef(ref);
  EXPECT_TRUE(WaitFor([] { return kelsimLiveObjects() == 0; }))
      << kelsimLiveObjects() << " library objects left";
  // Late releases included: nothing of the plug-in's is left in the library.
  EXPECT_EQ(kelsimWaitIdle(30000), 1);
  EXPECT_EQ(kelsimRegistrations(), 0u) << "registrations left";
  EXPECT_EQ(kelsimHandlerReferences(), 0u) << "references to the plug-in's objects left";
  EXPECT_EQ(ztrtsimLiveHandles(), 0);
  kelsimClearFailures();
  ztrtsimClearFailures();
}

void RoadTest::Load(const std::string& description) {
  char error[512] = "";
  ASSERT_EQ(kelsimLoadText(description.c_str(), "road.json", error, sizeof error), 0) << error;
}

void RoadTest::ApplyChange(const std::string& target, const std::string& change) {
  char error[512] = "";
  ASSERT_EQ(kelsimApplyChange(target.c_str(), change.c_str(), "change.json", error, sizeof error), 0)
      << error;
}

void RoadTest::SetUrl(std::uint32_t ref, const std::string& url) {
  ASSERT_EQ(ztrtsimSetTargetURL(ref, url.data(), static_cast<std::int32_t>(url.size())), ZTRTSIM_OK);
}

std::int32_t RoadTest::Call(std::uint32_t ref, hostbind::UHandle* slot, std::int32_t force) {
  return ThePlugin().GetIOControlNames(ref, slot, force);
}

std::int32_t RoadTest::CallUntilSettled(std::uint32_t ref, hostbind::UHandle* slot) {
  std::int32_t result = kPending;
  EXPECT_TRUE(WaitFor([&] {
    result = Call(ref, slot);
    return result != kPending;
  })) << "the answer stayed pending";
  return result;
}

Names RoadTest::NextList(std::uint32_t ref) {
  Names names;
  hostbind::UHandle slot = nullptr;
  std::int32_t result = kPending;
  EXPECT_TRUE(WaitFor([&] {
    result = Call(ref, &slot);
    return result != kPending && result != kUnchanged;
  })) << "no list arrived";
  EXPECT_EQ(result, kWritten);
  if (slot != nullptr && result != kWritten) ztrtsimDisposeNameList(slot);
  if (result != kWritten) return names;
  names = DecodeList(slot);
  EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);
  return names;
}

std::vector<std::int32_t> RoadTest::PollFor(std::uint32_t ref, const Names& expected) {
  std::vector<std::int32_t> results;
  Names last;
  std::int32_t result = kPending;
  const bool arrived = WaitFor([&] {
    hostbind::UHandle slot = nullptr;
    result = Call(ref, &slot);
    if (results.empty() || results.back() != result) results.push_back(result);
    if (result != kWritten) {
      if (slot != nullptr) ztrtsimDisposeNameList(slot);
      return result != kPending && result != kUnchanged;
    }
    last = DecodeList(slot);
    EXPECT_EQ(ztrtsimDisposeNameList(slot), ZTRTSIM_OK);
    return last == expected;
  });
  EXPECT_TRUE(arrived && result == kWritten) << "the expected list never arrived; last result " << result
                                             << ", last list of " << last.size() << " names";
  return results;
}

}  // namespace road
