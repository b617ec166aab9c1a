#pragma once
// Every test that binds port 21105 gets its own loopback /24 (tool at .1, peer at .2), derived
// from the test's name so that tests running in parallel processes never share an address.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace kavelo::test {

inline std::string LoopbackPrefixForCurrentTest(int salt = 0) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  uint32_t h = 2166136261u + static_cast<uint32_t>(salt);
  for (unsigned char c : name) h = (h ^ c) * 16777619u;
  // 127.100.0.0 .. 127.249.255.0: clear of the simulator's own default 127.0.0.x addresses.
  return "127." + std::to_string(100 + (h >> 8) % 150) + "." + std::to_string(h & 0xFF);
}

// Processes Qt events until the condition holds or the time is up; true if it held.
inline bool PumpUntil(const std::function<bool()>& condition, int maxMs = 2000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
  while (std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  QCoreApplication::processEvents();
  return condition();
}

// Processes Qt events for a fixed time.
inline void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

} // namespace kavelo::test
