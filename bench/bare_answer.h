#pragma once
// The bare work of an unchanged answer: a lock, a set insert, a hash-map
// look-up and one indirect call, to the engine's own TargetURL, whose work
// every answer includes.
#include <cstdint>
#include <set>
#include <string>

#include <boost/functional/hash.hpp>
#include <boost/thread/lock_guard.hpp>
#include <boost/thread/mutex.hpp>
#include <boost/unordered_map.hpp>

#include "hostbind/host_types.h"
#include "platform/module.h"
#include "support.h"
#include "ztrtsim.h"

namespace kronel_bench {

class BareAnswer {
 public:
  explicit BareAnswer(std::uint32_t appRef)
      : appRef_(appRef),
        targetURL_(reinterpret_cast<hostbind::TargetURLFn>(
            platform::GetProcAddress(platform::GetModuleHandleA("ztrt.dll"), "TargetURL"))),
        refs_{appRef},
        map_{{kTarget, 101}} {
    ztrtsimSetTargetURL(appRef, kTarget, static_cast<std::int32_t>(std::string(kTarget).size()));
  }

  bool Ready() const { return targetURL_ != nullptr; }

  void Once() { Once(appRef_); }
  // For a reference whose URL is kTarget too; threads may share one answer.
  void Once(std::uint32_t appRef) {
    boost::lock_guard<boost::mutex> lock(mutex_);
    Keep(refs_.insert(appRef));
    hostbind::LStrHandle url = nullptr;
    Keep(targetURL_(appRef, &url));
    const std::string key(reinterpret_cast<const char*>((*url)->str), static_cast<std::size_t>((*url)->cnt));
    Keep(map_.find(key));
  }

 private:
  std::uint32_t appRef_;
  hostbind::TargetURLFn volatile targetURL_;
  boost::mutex mutex_;
  std::set<std::uint32_t> refs_;
  boost::unordered_map<std::string, std::uint32_t, boost::hash<std::string>> map_;
};

}  // namespace kronel_bench
