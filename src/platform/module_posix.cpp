#include "platform/module.h"

#include <dlfcn.h>
#include <link.h>
#include <pthread.h>
#include <strings.h>
#include <unistd.h>

#include <cstring>

namespace platform {
namespace {

constexpr std::size_t kPathCapacity = 4096;

// A dlopen handle is the loader's link_map of the module.
link_map* MapOf(ModuleHandle module) { return reinterpret_cast<link_map*>(module); }

// dlopen(nullptr) counts a reference on the main program; it is never unloaded,
// so the handle stays valid after the reference is returned.
void* MainProgram() {
  void* main = dlopen(nullptr, RTLD_LAZY);
  if (main != nullptr) dlclose(main);
  return main;
}

std::uint32_t CopyPath(const char* path, std::size_t length, char* buffer, std::uint32_t size) {
  if (size == 0) return 0;
  if (length < size) {
    std::memcpy(buffer, path, length);
    buffer[length] = '\0';
    return static_cast<std::uint32_t>(length);
  }
  std::memcpy(buffer, path, size - 1);
  buffer[size - 1] = '\0';
  return size;
}

std::uint32_t MainProgramFileName(char* buffer, std::uint32_t size) {
  char path[kPathCapacity];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) return 0;
  return CopyPath(path, static_cast<std::size_t>(length), buffer, size);
}

// "dir/X.dll" is "dir/libX.so"; other names stand as they are.
bool SharedObjectName(const char* name, char (&file)[kPathCapacity]) {
  std::size_t length = std::strlen(name);
  if (length + 4 >= sizeof file) return false;
  if (length <= 4 || strcasecmp(name + length - 4, ".dll") != 0) {
    std::memcpy(file, name, length + 1);
    return true;
  }
  const char* slash = std::strrchr(name, '/');
  std::size_t directory = slash == nullptr ? 0 : std::size_t(slash - name) + 1;
  std::memcpy(file, name, directory);
  std::memcpy(file + directory, "lib", 3);
  std::memcpy(file + directory + 3, name + directory, length - 4 - directory);
  std::memcpy(file + length - 1, ".so", 4);
  return true;
}

struct FileNameSearch {
  link_map* anyLoaded;
  link_map* wanted;
  char* buffer;
  std::uint32_t size;
  std::uint32_t length;
};

// Runs while dl_iterate_phdr holds the loader's lock on the list of loaded
// modules, so no module can be unloaded and freed during the walk. A handle
// that is not in the list is only compared, never read.
int SearchLoadedModules(dl_phdr_info*, std::size_t, void* data) {
  auto* search = static_cast<FileNameSearch*>(data);
  link_map* first = search->anyLoaded;
  while (first->l_prev != nullptr) first = first->l_prev;
  for (link_map* map = first; map != nullptr; map = map->l_next) {
    if (map != search->wanted) continue;
    if (map->l_name == nullptr || map->l_name[0] == '\0') {
      search->length = MainProgramFileName(search->buffer, search->size);
    } else {
      search->length = CopyPath(map->l_name, std::strlen(map->l_name), search->buffer, search->size);
    }
    break;
  }
  return 1;
}

}  // namespace

ModuleHandle GetModuleHandleA(const char* name) {
  if (name == nullptr) return static_cast<ModuleHandle>(MainProgram());
  char file[kPathCapacity];
  if (!SharedObjectName(name, file)) return nullptr;
  void* module = dlopen(file, RTLD_LAZY | RTLD_NOLOAD);
  if (module != nullptr) dlclose(module);
  return static_cast<ModuleHandle>(module);
}

void* GetProcAddress(ModuleHandle module, const char* name) {
  void* handle = module != nullptr ? static_cast<void*>(module) : MainProgram();
  if (handle == nullptr || name == nullptr) return nullptr;
  void* address = dlsym(handle, name);
  if (address == nullptr) return nullptr;
  // dlsym also searches the module's dependencies; only its own exports count.
  Dl_info info;
  link_map* owner = nullptr;
  if (dladdr1(address, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0) return nullptr;
  return owner == static_cast<link_map*>(handle) ? address : nullptr;
}

std::uint32_t GetModuleFileNameA(ModuleHandle module, char* buffer, std::uint32_t size) {
  if (module == nullptr) return MainProgramFileName(buffer, size);
  void* main = MainProgram();
  if (main == nullptr) return 0;
  FileNameSearch search{static_cast<link_map*>(main), MapOf(module), buffer, size, 0};
  dl_iterate_phdr(SearchLoadedModules, &search);
  return search.length;
}

void* TlsGetValue(std::uint32_t index) { return pthread_getspecific(static_cast<pthread_key_t>(index)); }

std::uint32_t ImageVersionKey(ModuleHandle) { return 0; }

ModuleHandle LoadLibraryA(const char* path) {
  char file[kPathCapacity];
  if (path == nullptr || !SharedObjectName(path, file)) return nullptr;
  return static_cast<ModuleHandle>(dlopen(file, RTLD_NOW | RTLD_LOCAL));
}

bool FreeLibrary(ModuleHandle module) { return module != nullptr && dlclose(module) == 0; }

std::uint32_t TlsAlloc() {
  pthread_key_t key;
  if (pthread_key_create(&key, nullptr) != 0) return kTlsOutOfIndexes;
  return static_cast<std::uint32_t>(key);
}

bool TlsSetValue(std::uint32_t index, void* value) {
  return pthread_setspecific(static_cast<pthread_key_t>(index), value) == 0;
}

bool TlsFree(std::uint32_t index) { return pthread_key_delete(static_cast<pthread_key_t>(index)) == 0; }

void FatalExit(const char* text) {
  static const char kCaption[] = "Fatal Error: ";
  auto put = [](const char* bytes, std::size_t length) {
    while (length > 0) {
      ssize_t written = write(STDERR_FILENO, bytes, length);
      if (written <= 0) return;
      bytes += written;
      length -= static_cast<std::size_t>(written);
    }
  };
  put(kCaption, sizeof kCaption - 1);
  put(text, std::strlen(text));
  put("\n", 1);
  _exit(1);
}

}  // namespace platform
