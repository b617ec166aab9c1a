// A device model already in update mode, and a shorthand to send it one
// hand-built frame from the tool's address.
#pragma once

#include "KaveloDevice.h"
#include "TestFrames.h"

#include <gtest/gtest.h>

namespace simtest {

// 127.0.0.1:21105 in the device's address convention (first number lowest).
inline constexpr kavelosim::Endpoint kTool{0x0100007F, 21105};

class DeviceTest : public ::testing::Test {
protected:
  void SetUp() override {
    dev.SetOwnAddress(0x0200007F); // 127.0.0.2
    ASSERT_EQ(Send(UpdateModeReq(127, 0, 0, 1)).size(), 2u);
  }

  std::vector<kavelosim::Reply> Send(const Bytes& frame) {
    return dev.HandleFrame(frame.data(), frame.size(), kTool);
  }

  // The single reply to a request, or an empty vector when there is none.
  Bytes One(const Bytes& frame) {
    auto r = Send(frame);
    if (r.empty()) return {};
    EXPECT_EQ(r.size(), 1u);
    return r.front().bytes;
  }

  Bytes Unit(uint32_t start) { return dev.ReadFlash(start, 0x10000); }

  kavelosim::KaveloDevice dev;
};

} // namespace simtest
