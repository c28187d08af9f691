#pragma once
// Set-up calls of the simulated run-time engine (ztrtsim.h), and the reader
// of the name lists it holds: in the engine this program links, or in a copy
// of it loaded under another name, which keeps a state of its own.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/module.h"
#include "ztrtsim.h"

namespace test_support::ztrtsim {

// The engine's control and reading functions.
struct Engine {
  decltype(&::ztrtsimSetTargetURL) setTargetUrl = &::ztrtsimSetTargetURL;
  decltype(&::ztrtsimCallCount) callCount = &::ztrtsimCallCount;
  decltype(&::ztrtsimLiveHandles) liveHandles = &::ztrtsimLiveHandles;
  decltype(&::ztrtsimHandleSize) handleSize = &::ztrtsimHandleSize;
  decltype(&::ztrtsimListCount) listCount = &::ztrtsimListCount;
  decltype(&::ztrtsimListElementAttrCount) attrCount = &::ztrtsimListElementAttrCount;
  decltype(&::ztrtsimListGetAttrName) attrName = &::ztrtsimListGetAttrName;
  decltype(&::ztrtsimListGetStringAttr) stringAttr = &::ztrtsimListGetStringAttr;
  decltype(&::ztrtsimListGetUI32Attr) ui32Attr = &::ztrtsimListGetUI32Attr;
  decltype(&::ztrtsimDisposeNameList) disposeList = &::ztrtsimDisposeNameList;

  // The same functions of a loaded copy; false when it lacks one.
  bool From(platform::ModuleHandle module);
};

inline const Engine kLinked{};

void SetUrl(std::uint32_t ref, const std::string& url, const Engine& engine = kLinked);

// An attribute of element `index`, of any length; nothing when the element
// has none of that name and type.
std::optional<std::string> StringAttr(const void* list, std::int32_t index, const char* name,
                                      const Engine& engine = kLinked);
std::optional<std::uint32_t> UI32Attr(const void* list, std::int32_t index, const char* name,
                                      const Engine& engine = kLinked);
// The element's attribute names in the order they were first set.
std::vector<std::string> AttrNames(const void* list, std::int32_t index, const Engine& engine = kLinked);

// The names of a list as the plug-in delivers it, checking its block size,
// flags and fixed elements on the way.
std::vector<std::string> DecodeList(const void* list, const Engine& engine = kLinked);

}  // namespace test_support::ztrtsim
