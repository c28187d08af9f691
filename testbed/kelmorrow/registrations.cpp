#include "registrations.h"

#include <algorithm>
#include <utility>

namespace kelmorrow {

std::uint64_t Registrations::Set(const Registration& wanted, bool perFramework,
                                 std::vector<Registration>& displaced) {
  auto matches = [&](const Registration& r) {
    return r.target == wanted.target && (!perFramework || r.owner == wanted.owner);
  };
  Registration added = wanted;
  added.id = nextId_++;
  // A replacement keeps the place of the first one it replaces.
  auto first = std::find_if(list_.begin(), list_.end(), matches);
  if (first == list_.end()) {
    list_.push_back(added);
    return added.id;
  }
  displaced.push_back(std::exchange(*first, added));
  auto rest =
      std::stable_partition(first + 1, list_.end(), [&](const Registration& r) { return !matches(r); });
  displaced.insert(displaced.end(), rest, list_.end());
  list_.erase(rest, list_.end());
  return added.id;
}

std::vector<Registration> Registrations::Remove(const std::string& target, std::uint64_t owner,
                                                bool perFramework) {
  auto kept = std::stable_partition(list_.begin(), list_.end(), [&](const Registration& r) {
    return r.target != target || (perFramework && r.owner != owner);
  });
  std::vector<Registration> removed(kept, list_.end());
  list_.erase(kept, list_.end());
  return removed;
}

std::vector<Registration> Registrations::TakeAll() { return std::exchange(list_, {}); }

std::vector<std::uint64_t> Registrations::IdsOf(const std::string& target) const {
  std::vector<std::uint64_t> ids;
  for (const Registration& r : list_) {
    if (r.target == target) ids.push_back(r.id);
  }
  return ids;
}

const Registration* Registrations::Find(std::uint64_t id) const {
  auto found = std::find_if(list_.begin(), list_.end(), [&](const Registration& r) { return r.id == id; });
  return found == list_.end() ? nullptr : &*found;
}

bool Registrations::Has(const std::string& target) const {
  return std::any_of(list_.begin(), list_.end(), [&](const Registration& r) { return r.target == target; });
}

}  // namespace kelmorrow
