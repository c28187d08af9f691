#pragma once
#include <thread>

namespace kelmorrow {

// A callback or a release may end the library's threads, its own among them:
// that one is let go rather than joined.
inline void JoinUnlessSelf(std::thread& thread) {
  if (!thread.joinable()) return;
  if (thread.get_id() == std::this_thread::get_id()) {
    thread.detach();
  } else {
    thread.join();
  }
}

}  // namespace kelmorrow
