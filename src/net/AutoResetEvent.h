#pragma once
// An auto-reset event: one successful wait consumes the signal.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace kavelo {

class TAutoResetEvent {
public:
  void Set() {
    {
      std::lock_guard lock(fMutex);
      fSignalled = true;
    }
    fCondition.notify_one();
  }
  void Reset() {
    std::lock_guard lock(fMutex);
    fSignalled = false;
  }
  // True when signalled within timeoutMs; a timeout of 0 only looks.
  bool Wait(uint32_t timeoutMs) {
    std::unique_lock lock(fMutex);
    const bool got = fCondition.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                         [this] { return fSignalled; });
    if (got) fSignalled = false;
    return got;
  }

private:
  std::mutex fMutex;
  std::condition_variable fCondition;
  bool fSignalled = false;
};

} // namespace kavelo
