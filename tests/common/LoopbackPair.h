#pragma once
// Every test that binds port 21105 gets its own loopback /24 (tool at .1, peer at .2), derived
// from the test's name and process and checked to be free, so that tests running in parallel
// processes never share an address.

#include <gtest/gtest.h>

#include "net/Helpers.h"
#include "platform/UdpSocket.h"

#include <QCoreApplication>

#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace kavelo::test {

inline std::string LoopbackPrefixForCurrentTest(int salt = 0) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  uint32_t h = 2166136261u + static_cast<uint32_t>(salt) + static_cast<uint32_t>(getpid()) * 2654435761u;
  for (unsigned char c : name) h = (h ^ c) * 16777619u;
  // 127.100.0.0 .. 127.249.255.0: clear of the simulator's own default 127.0.0.x addresses. A
  // prefix whose port is taken (by a test running beside this one) is passed over.
  for (int attempt = 0; attempt < 64; ++attempt, h = h * 16777619u + 1) {
    const std::string prefix =
        "127." + std::to_string(100 + (h >> 8) % 150) + "." + std::to_string(h & 0xFF);
    TUdpSocket tool, peer;
    if (tool.Bind(StrToIP(QString::fromStdString(prefix + ".1"), 0), 21105) &&
        peer.Bind(StrToIP(QString::fromStdString(prefix + ".2"), 0), 21105))
      return prefix;
  }
  return "127.99.0";
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
