#include "provider/registry.h"

#include <new>
#include <set>
#include <string>
#include <utility>

#include <boost/functional/hash.hpp>
#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>
#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/unordered_map.hpp>

#include "hostbind/host_runtime.h"
#include "kronel/morrow_cache.h"
#include "kronel/notification_routes.h"
#include "provider/name_list.h"

namespace provider {
namespace {

struct CacheMetadata {
  boost::shared_ptr<kronel::MorrowCache> cache;
  std::uint32_t lastVersion;
};

using CacheMap = boost::unordered_map<std::string, CacheMetadata, boost::hash<std::string>>;

// Process-wide; registryMutex serialises both entry points completely.
std::set<std::uint32_t> appRefs;
boost::shared_ptr<CacheMap> targetCaches;
boost::mutex registryMutex;

// Destroyed before the map: at process exit the library's threads are gone,
// perhaps holding its locks, so caches still mapped then are left as they
// are rather than unregistered from it.
struct MapLeftAtExit {
  ~MapLeftAtExit() {
    alignas(boost::shared_ptr<CacheMap>) static unsigned char storage[sizeof(boost::shared_ptr<CacheMap>)];
    if (targetCaches) new (storage) boost::shared_ptr<CacheMap>(std::move(targetCaches));
  }
} mapLeftAtExit;

std::string UrlOf(hostbind::LStrHandle url) {
  if (url == nullptr || *url == nullptr) return std::string();
  const hostbind::LStr* text = *url;
  if (text->cnt <= 0) return std::string();
  return std::string(reinterpret_cast<const char*>(text->str), static_cast<std::size_t>(text->cnt));
}

}  // namespace

std::int32_t GetIOControlNames(std::uint32_t appRef, hostbind::UHandle* slot, std::int32_t force) {
  std::int32_t result = kResultFailure;
  try {
    boost::lock_guard<boost::mutex> lock(registryMutex);
    appRefs.insert(appRef);

    // The engine keeps owning the URL handle it hands out.
    hostbind::LStrHandle urlHandle = nullptr;
    if (hostbind::TargetURL(appRef, &urlHandle) != 0) return kResultFailure;
    const std::string url = UrlOf(urlHandle);

    if (!targetCaches) targetCaches = boost::make_shared<CacheMap>();
    CacheMap::iterator entry = targetCaches->find(url);
    if (entry == targetCaches->end()) {
      entry =
          targetCaches->emplace(url, CacheMetadata{boost::make_shared<kronel::MorrowCache>(url), 0}).first;
    }
    CacheMetadata& metadata = entry->second;
    kronel::MorrowCache& cache = *metadata.cache;

    if (force != 0) {
      cache.RequestRefresh();
      return kResultPending;
    }
    if (!cache.IsUpToDate()) {
      cache.RefreshIfIdle();
      return kResultPending;
    }
    // A retry or a re-read runs in the background; the host is answered from
    // the cache meanwhile.
    cache.RefreshIfDue();
    if (cache.GetVersion() == metadata.lastVersion) return kResultUnchanged;

    // A list is due but the host gave nowhere to put it: nothing is written
    // and the list stays due.
    if (slot == nullptr) return kResultFailure;
    const kronel::MorrowCache::Snapshot snapshot = cache.CopySnapshot();
    result = WriteNameList(snapshot.names, slot);
    // A list that never reached the host is offered again by the next call.
    if (result == kListWritten) metadata.lastVersion = snapshot.version;
  } catch (...) {
  }
  return result;
}

void ReleasingAppRef(std::uint32_t appRef) {
  try {
    // What the dropped caches leave to do in the library goes to the pool as
    // one piece, after the lock: this thread pays for the caches alone.
    kronel::NotificationRoutes::SettlingBatch settleTogether;
    boost::lock_guard<boost::mutex> lock(registryMutex);
    appRefs.erase(appRef);
    if (appRefs.empty()) targetCaches.reset();
  } catch (...) {
  }
}

}  // namespace provider
