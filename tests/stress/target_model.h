#pragma once
#include <cstddef>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace stress {

using Names = std::vector<std::string>;

// The records of one target as the storm made them, and every name list they
// ever implied. Records are devices of a listed model with distinct names, a
// switched-off device and now and then a networked system, so each record set
// implies one obvious list.
class TargetModel {
 public:
  TargetModel(std::string target, std::string prefix);
  TargetModel(const TargetModel&) = delete;
  TargetModel& operator=(const TargetModel&) = delete;

  const std::string& Target() const { return target_; }
  // The current records as a JSON array, for a description.
  std::string RecordsJson() const;
  // A random change as change JSON; the list it implies counts as held from now on.
  std::string NextChange(std::mt19937& random);
  // A change to records that no other change made; `tag` tells final changes apart.
  std::string FinalChange(const std::string& tag);
  Names CurrentNames() const;
  // Whether the target ever held records that imply exactly this list.
  bool WasHeld(const Names& names) const;
  std::size_t ListsHeld() const;

 private:
  std::string DeviceJson(const std::string& name, int status) const;
  std::string SystemJson() const;
  std::string ReplaceJson() const;
  void Record();

  const std::string target_;
  const std::string prefix_;
  std::vector<std::string> devices_;
  std::string host_;  // empty: no networked system
  unsigned generation_ = 0;
  mutable std::mutex mutex_;
  std::set<Names> held_;
};

}  // namespace stress
