#pragma once
// What keeps this module's image loaded while code of it may still run on a
// thread or through an object that another component holds. The host may
// unload the module at any moment once its own calls have returned, so every
// thread the module starts and every object it hands out holds a reference.
// Where a module cannot be held this way (Linux), the holders hold nothing.

namespace platform {

// One counted reference on the module that holds this code.
class ModuleReference {
 public:
  ModuleReference() noexcept = default;
  // An empty holder when the loader refuses.
  static ModuleReference Take() noexcept;

  ModuleReference(ModuleReference&& other) noexcept : module_(other.Detach()) {}
  ModuleReference& operator=(ModuleReference&& other) noexcept;
  ModuleReference(const ModuleReference&) = delete;
  ModuleReference& operator=(const ModuleReference&) = delete;
  // Gives the reference back. Safe only on a thread that something else keeps
  // the module loaded for (see ModuleHeld); elsewhere use ReleaseFromForeignThread.
  ~ModuleReference() { Reset(); }

  void Reset() noexcept;
  void* Detach() noexcept;
  explicit operator bool() const noexcept { return module_ != nullptr; }

  // For the last release of an object made from code of another component's,
  // which returns into this module's code after the reference is gone: the
  // module then stays loaded for the rest of the process.
  void ReleaseFromForeignThread() noexcept;

 private:
  void* module_ = nullptr;
};

// Marks the current thread as running this module's code while something
// else keeps the module loaded: a host call (the host holds the module), a
// thread started by StartModuleThread, a callback of an object whose caller
// holds it.
class ModuleHeld {
 public:
  ModuleHeld() noexcept;
  ~ModuleHeld();
  ModuleHeld(const ModuleHeld&) = delete;
  ModuleHeld& operator=(const ModuleHeld&) = delete;

  static bool OnThisThread() noexcept;
};

// Runs entry(argument) on a new detached thread that holds its own reference
// on the module and gives it back only as it exits (FreeLibraryAndExitThread),
// so the module may be unloaded while the thread runs. False when no thread
// could be started; entry is not called then.
bool StartModuleThread(void (*entry)(void*), void* argument) noexcept;

// True while the process ends on Windows: its other threads have been killed
// by then, perhaps holding locks, so a module's teardown must take none and
// wait for nothing. False elsewhere, where the other threads live on through exit.
bool ProcessIsEnding() noexcept;

}  // namespace platform
