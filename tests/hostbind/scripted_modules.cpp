#include "scripted_modules.h"

#include <algorithm>
#include <cstring>

namespace hostbind_test {
namespace {

constexpr std::uintptr_t kHandleSpacing = 0x100000;
thread_local ModuleHandle threadModule = nullptr;

std::uintptr_t IndexOf(ModuleHandle module) { return reinterpret_cast<std::uintptr_t>(module) / kHandleSpacing - 1; }

}  // namespace

const std::vector<std::string> ScriptedModules::kHostFunctions = {
    "ZtVariantPStrSetUI32Attr", "TargetURL", "DSNewHClr", "ZtVariantPStrSetStringAttr",
    "LStrFromPtr", "DSDisposeHandle", "ConvertUTF8StringToSystem"};

ScriptedModules::ScriptedModules() { threadModule = nullptr; }

ScriptedModules::~ScriptedModules() { threadModule = nullptr; }

ModuleHandle ScriptedModules::Add(const std::string& name, std::uint32_t key,
                                  const std::vector<std::string>& exports) {
  Entry& entry = entries_.emplace_back();
  entry.name = name;
  entry.exports = exports;
  entry.key = key;
  return reinterpret_cast<ModuleHandle>(kHandleSpacing * entries_.size());
}

void ScriptedModules::Unload(ModuleHandle module) { entries_.at(IndexOf(module)).loaded = false; }

void ScriptedModules::Reload(ModuleHandle module, std::uint32_t key) {
  Entry& entry = entries_.at(IndexOf(module));
  entry.key = key;
  entry.loaded = true;
}

void ScriptedModules::SetThreadModule(ModuleHandle module) { threadModule = module; }

const ScriptedModules::Entry* ScriptedModules::Find(ModuleHandle module) const {
  auto value = reinterpret_cast<std::uintptr_t>(module);
  if (value == 0 || value % kHandleSpacing != 0 || IndexOf(module) >= entries_.size()) return nullptr;
  const Entry& entry = entries_[IndexOf(module)];
  return entry.loaded ? &entry : nullptr;
}

void* ScriptedModules::AddressOf(ModuleHandle module, const std::string& name) const {
  const Entry& entry = entries_.at(IndexOf(module));
  auto found = std::find(entry.exports.begin(), entry.exports.end(), name);
  if (found == entry.exports.end()) return nullptr;
  auto offset = static_cast<std::uintptr_t>(found - entry.exports.begin() + 1) * 0x10;
  return reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(module) + offset);
}

ModuleHandle ScriptedModules::GetModuleHandleA(const char* name) {
  if (name == nullptr) return main_;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].loaded && entries_[i].name == name) {
      return reinterpret_cast<ModuleHandle>(kHandleSpacing * (i + 1));
    }
  }
  return nullptr;
}

void* ScriptedModules::GetProcAddress(ModuleHandle module, const char* name) {
  ++lookups_;
  if (onLookup) onLookup(module, name);
  return Find(module) != nullptr ? AddressOf(module, name) : nullptr;
}

std::uint32_t ScriptedModules::GetModuleFileNameA(ModuleHandle module, char* buffer, std::uint32_t size) {
  std::string path;
  if (module == nullptr) {
    path = "C:\\scripted\\host.exe";
  } else if (const Entry* entry = Find(module)) {
    path = "C:\\scripted\\" + entry->name;
  } else {
    return 0;
  }
  if (size == 0) return 0;
  std::size_t length = std::min<std::size_t>(path.size(), size - 1);
  std::memcpy(buffer, path.data(), length);
  buffer[length] = '\0';
  return static_cast<std::uint32_t>(length);
}

void* ScriptedModules::TlsGetValue(std::uint32_t index) { return index == tlsIndex_ ? threadModule : nullptr; }

std::uint32_t ScriptedModules::ImageVersionKey(ModuleHandle module) {
  return entries_.at(IndexOf(module)).key;
}

void ScriptedModules::Fatal(const char* text) { throw FatalEnd{text}; }

hostbind::SlotState SlotOf(const hostbind::BindingRecord& record, int index) {
  hostbind::SlotState state{};
  record.slots[index].Read(state);
  return state;
}

}  // namespace hostbind_test
