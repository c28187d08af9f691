#pragma once
// The notification handlers registered, in the order they were made. Each
// registration has an id of its own, so that a callback can be told apart
// from one of the registration that replaced it. Not thread-safe: the
// notifier guards it.
#include <cstdint>
#include <string>
#include <vector>

#include "morrowkit/interfaces.h"

namespace kelmorrow {

struct Registration {
  std::uint64_t id;
  std::string target;
  std::uint64_t owner;  // serial number of the framework object it was made through
  morrowkit::IqvSysNotificationHandler* handler;
  void* context;
};

class Registrations {
 public:
  // Per target, a registration stands for its target whatever framework
  // object made or removes it; per framework object, for its target and owner.
  // Returns the new registration's id; the ones it replaced go to `displaced`.
  std::uint64_t Set(const Registration& wanted, bool perFramework, std::vector<Registration>& displaced);
  std::vector<Registration> Remove(const std::string& target, std::uint64_t owner, bool perFramework);
  std::vector<Registration> TakeAll();

  std::vector<std::uint64_t> IdsOf(const std::string& target) const;
  const Registration* Find(std::uint64_t id) const;
  bool Has(const std::string& target) const;
  std::size_t size() const { return list_.size(); }

 private:
  std::vector<Registration> list_;
  std::uint64_t nextId_ = 1;
};

}  // namespace kelmorrow
