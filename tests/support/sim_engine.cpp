#include "sim_engine.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace test_support::ztrtsim {

namespace {

template <class Function>
bool Resolve(platform::ModuleHandle module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(platform::GetProcAddress(module, name));
  return function != nullptr;
}

}  // namespace

bool Engine::From(platform::ModuleHandle module) {
  return module != nullptr && Resolve(module, "ztrtsimSetTargetURL", setTargetUrl) &&
         Resolve(module, "ztrtsimCallCount", callCount) &&
         Resolve(module, "ztrtsimLiveHandles", liveHandles) &&
         Resolve(module, "ztrtsimHandleSize", handleSize) && Resolve(module, "ztrtsimListCount", listCount) &&
         Resolve(module, "ztrtsimListElementAttrCount", attrCount) &&
         Resolve(module, "ztrtsimListGetAttrName", attrName) &&
         Resolve(module, "ztrtsimListGetStringAttr", stringAttr) &&
         Resolve(module, "ztrtsimListGetUI32Attr", ui32Attr) &&
         Resolve(module, "ztrtsimDisposeNameList", disposeList);
}

void SetUrl(std::uint32_t ref, const std::string& url, const Engine& engine) {
  ASSERT_EQ(engine.setTargetUrl(ref, url.data(), static_cast<std::int32_t>(url.size())), ZTRTSIM_OK) << url;
}

std::optional<std::string> StringAttr(const void* list, std::int32_t index, const char* name,
                                      const Engine& engine) {
  std::string buffer(64, '\0');
  std::size_t length = 0;
  int status = engine.stringAttr(list, index, name, &buffer[0], buffer.size(), &length);
  if (status == ZTRTSIM_ERR_BUFFER) {
    buffer.resize(length);
    status = engine.stringAttr(list, index, name, &buffer[0], buffer.size(), &length);
  }
  if (status != ZTRTSIM_OK) return std::nullopt;
  buffer.resize(length);
  return buffer;
}

std::optional<std::uint32_t> UI32Attr(const void* list, std::int32_t index, const char* name,
                                      const Engine& engine) {
  std::uint32_t value = 0;
  if (engine.ui32Attr(list, index, name, &value) != ZTRTSIM_OK) return std::nullopt;
  return value;
}

std::vector<std::string> AttrNames(const void* list, std::int32_t index, const Engine& engine) {
  std::vector<std::string> names;
  const std::int32_t count = engine.attrCount(list, index);
  for (std::int32_t position = 0; position < count; ++position) {
    char name[16] = "";
    std::size_t length = 0;
    EXPECT_EQ(engine.attrName(list, index, position, name, sizeof name, &length), ZTRTSIM_OK);
    names.emplace_back(name, std::min(length, sizeof name));
  }
  return names;
}

std::vector<std::string> DecodeList(const void* list, const Engine& engine) {
  std::vector<std::string> names;
  const std::int32_t count = engine.listCount(list);
  EXPECT_GE(count, 2);
  if (count < 2) return names;
  EXPECT_EQ(engine.handleSize(list), 8 * std::int64_t{count - 2} + 24);
  for (std::int32_t i = 0; i + 2 < count; ++i) {
    const std::optional<std::string> name = StringAttr(list, i, "n", engine);
    EXPECT_TRUE(name) << "element " << i << " has no name";
    names.push_back(name.value_or(""));
    EXPECT_EQ(UI32Attr(list, i, "f", engine), 0x30000u) << "element " << i;
  }
  EXPECT_EQ(UI32Attr(list, count - 2, "g", engine), 0xFFFFFFFFu);
  EXPECT_EQ(UI32Attr(list, count - 2, "id", engine), 0xFFFFFFFFu);
  EXPECT_EQ(UI32Attr(list, count - 1, "id", engine), 3u);
  return names;
}

}  // namespace test_support::ztrtsim
