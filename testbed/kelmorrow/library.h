#pragma once
// The library's process-wide state: the hardware model and what goes with
// it under one mutex, the operation controls, the notifier and the registry
// of the property bags handed out, the profile and the changes scheduled for
// later calls. Unloading destroys it only when no thread and no object of
// the library is left that could still reach it.
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "description_loader.h"
#include "hardware_model.h"
#include "notifier.h"
#include "operation_control.h"
#include "profile.h"
#include "scheduled_changes.h"

namespace kelmorrow {

struct LibraryState {
  Model model;
  std::map<platform::WideString, std::uint32_t> reservations;  // resource name -> owner
  bool saved = true;
  bool traceEnabled = false;
  std::uint32_t traceLevel = 0;
};

class Library {
 public:
  static Library& Instance();

  std::mutex& mutex() { return mutex_; }
  LibraryState& state() { return state_; }  // under mutex()
  OperationControl& control() { return control_; }
  Notifier& notifier() { return notifier_; }

  // Swaps a whole new model in and applies its profile, if it has one;
  // registrations stay, nothing is notified.
  void Load(Model model);
  // Throws DescriptionError (remove of a name the target lacks); nothing changes then.
  void ApplyChange(const std::string& target, const Change& change, const std::string& source);
  // Checked now like ApplyChange, applied inside the next call of the operation.
  void ApplyChangeDuring(const std::string& operation, const std::string& target, Change change,
                         const std::string& source);
  // What every operation does after its latency and before its own work.
  void ApplyScheduled(const char* operation);
  // What every callback does before the handler is called.
  void EnterCallback();

  void SetProfile(const Profile& profile);
  // Sets the members a profile text gives; the others keep their values.
  void ChangeProfile(std::string_view text, const std::string& source);
  Profile profile();
  // Framework objects made so far are disconnected, registrations end.
  void RestartService();
  // Resource names of the records, in order, without repeats.
  static std::vector<platform::WideString> ResourceNames(const std::vector<RecordPtr>& records);

  // Property bags register themselves, so that a pointer from a caller can be
  // checked before it is used.
  void AddBag(const morrowkit::IqvSysPropertyBag* bag);
  void RemoveBag(const morrowkit::IqvSysPropertyBag* bag);
  bool IsBag(const morrowkit::IqvSysPropertyBag* bag);

  void Reset();
  void Shutdown();
  static void Unload();

 private:
  Library() = default;
  ~Library() = default;

  // Under mutex(): the target's new records and the names to notify.
  std::pair<std::vector<RecordPtr>, std::vector<platform::WideString>> Changed(const std::string& target,
                                                                               const Change& change,
                                                                               const std::string& source);

  std::mutex mutex_;
  LibraryState state_;
  OperationControl control_;
  Notifier notifier_;
  ScheduledChanges scheduled_;
  std::mutex bagsMutex_;
  std::set<const morrowkit::IqvSysPropertyBag*> bags_;
};

}  // namespace kelmorrow
