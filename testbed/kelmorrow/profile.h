#pragma once
// How the library behaves where its contract leaves the choice open. The
// defaults are the behaviour the library always had.
#include <cstdint>

namespace kelmorrow {

struct Profile {
  enum class Registrations { kPerTarget, kPerFramework };
  enum class Removal { kWaits, kDoesNotWait };
  enum class Delivery { kLibraryThread, kInline };
  enum class Frameworks { kNew, kShared };
  enum class Notifications { kSupported, kUnsupported };

  Registrations registrations = Registrations::kPerTarget;
  Removal removal = Removal::kWaits;
  Delivery delivery = Delivery::kLibraryThread;
  Frameworks frameworks = Frameworks::kNew;
  // 0: a removed registration's reference goes at once.
  std::uint32_t lateReleaseMs = 0;
  Notifications notifications = Notifications::kSupported;
};

// The names a description uses for each choice, the default first.
constexpr const char* kRegistrationsNames[] = {"per-target", "per-framework"};
constexpr const char* kRemovalNames[] = {"waits", "does-not-wait"};
constexpr const char* kDeliveryNames[] = {"library-thread", "inline"};
constexpr const char* kFrameworksNames[] = {"new", "shared"};
constexpr const char* kNotificationsNames[] = {"supported", "unsupported"};

}  // namespace kelmorrow
