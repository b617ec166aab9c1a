// Update mode, announcements, restart with install, power off and on.
#include "DeviceFixture.h"

using namespace simtest;
using kavelosim::ControlBlock;
using kavelosim::KaveloDevice;

namespace {

TEST(DeviceModes, UpdateModeRequestIsAnsweredThenAnnounced) {
  KaveloDevice dev;
  dev.SetOwnAddress(0x0200007F);
  const Bytes req = UpdateModeReq(127, 0, 0, 1);
  const auto replies = dev.HandleFrame(req.data(), req.size(), kTool);
  ASSERT_EQ(replies.size(), 2u);
  const Bytes& reply = replies[0].bytes;
  ASSERT_EQ(reply.size(), 8u);
  EXPECT_EQ(reply[0], 8);
  EXPECT_EQ(HeaderOf(reply), 0x0041);
  EXPECT_EQ(Bytes(reply.begin() + 4, reply.end()), (Bytes{127, 0, 0, 2}));
  EXPECT_EQ(replies[0].to, kTool);
  EXPECT_EQ(HeaderOf(replies[1].bytes), 0x0010);
  EXPECT_EQ(replies[1].to, kTool);
  EXPECT_TRUE(dev.InUpdateMode());
  EXPECT_EQ(dev.ToolAddress(), 0x0100007Fu);
}

TEST(DeviceModes, AnnouncementGoesToTheAddressTheToolNamed) {
  KaveloDevice dev;
  const Bytes req = UpdateModeReq(127, 0, 5, 1);
  const kavelosim::Endpoint from{0x0900007F, 40000}; // 127.0.0.9:40000
  const auto replies = dev.HandleFrame(req.data(), req.size(), from);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].to, from);
  EXPECT_EQ(replies[1].to, (kavelosim::Endpoint{0x0105007F, 21105}));
}

TEST(DeviceModes, UpdateModeRequestOfWrongSizeIsIgnored) {
  KaveloDevice dev;
  const Bytes shortReq{0x07, 0x00, 0x41, 0x00, 127, 0, 0};
  const Bytes longReq{0x09, 0x00, 0x41, 0x00, 127, 0, 0, 1, 0};
  EXPECT_TRUE(dev.HandleFrame(shortReq.data(), shortReq.size(), kTool).empty());
  EXPECT_TRUE(dev.HandleFrame(longReq.data(), longReq.size(), kTool).empty());
  EXPECT_FALSE(dev.InUpdateMode());
}

TEST(DeviceModes, FlashCommandsNeedUpdateMode) {
  KaveloDevice dev;
  auto send = [&](const Bytes& f) { return dev.HandleFrame(f.data(), f.size(), kTool); };
  EXPECT_TRUE(send(BlankReq(0)).empty());
  EXPECT_TRUE(send(EraseReq(0)).empty());
  EXPECT_TRUE(send(WriteReq(0, {0})).empty());
  EXPECT_EQ(dev.ReadFlash(0, 1), Bytes{0xFF}) << "an unanswered write must not write";
  ASSERT_EQ(send(UpdateModeReq(127, 0, 0, 1)).size(), 2u);
  EXPECT_EQ(send(BlankReq(0)).size(), 1u);
  EXPECT_TRUE(send(kRestart).empty());
  EXPECT_FALSE(dev.InUpdateMode());
  EXPECT_TRUE(send(BlankReq(0)).empty());
}

TEST_F(DeviceTest, ToolAnnouncementIsAcceptedSilently) {
  EXPECT_TRUE(Send(kToolAnnounce).empty());
  EXPECT_TRUE(dev.InUpdateMode());
  EXPECT_EQ(dev.Log().back().note, "tool announcement");
}

TEST_F(DeviceTest, UnknownHeaderIsIgnored) {
  EXPECT_TRUE(Send({0x05, 0x00, 0x20, 0x00, 0x01}).empty());
  EXPECT_TRUE(dev.InUpdateMode());
}

ControlBlock Staged(uint32_t hmNew, uint32_t rmNew) {
  ControlBlock cb = ControlBlock::Installed(0x108, 0x104, 0x112);
  cb.newFirmwareHM = hmNew;
  cb.oldFirmwareHM = 0xFFFFFFFF;
  cb.newFirmwareRM = rmNew;
  cb.oldFirmwareRM = 0xFFFFFFFF;
  return cb;
}

TEST_F(DeviceTest, RestartInstallsStagedMainControllerFirmwareOnce) {
  dev.PresetControlBlock(Staged(0x109, 0x105));
  const Bytes before = dev.ReadFlash(0, 256);
  EXPECT_TRUE(Send(kRestart).empty());
  const Bytes after = dev.ReadFlash(0, 256);
  EXPECT_EQ(Le32At(after, 8), 0x109u) << "OldFirmwareHM := NewFirmwareHM";
  for (size_t i = 0; i < 256; ++i) {
    if (i < 8 || i >= 12) {
      EXPECT_EQ(after[i], before[i]) << "byte " << i;
    }
  }
  EXPECT_EQ(dev.GetControlBlock().oldFirmwareRM, 0xFFFFFFFFu)
      << "the radio module waits for power-on";
  EXPECT_EQ(dev.Installs().hm, 1u);
  EXPECT_EQ(dev.Installs().rm, 0u);

  Send(UpdateModeReq(127, 0, 0, 1));
  Send(kRestart);
  EXPECT_EQ(dev.Installs().hm, 1u) << "an installed firmware is not installed again";
}

struct NoInstallCase {
  const char* name;
  void (*spoil)(ControlBlock&);
};

class RestartWithoutInstall : public DeviceTest,
                              public ::testing::WithParamInterface<NoInstallCase> {};

TEST_P(RestartWithoutInstall, LeavesTheBlockAlone) {
  ControlBlock cb = Staged(0x109, 0x105);
  GetParam().spoil(cb);
  dev.PresetControlBlock(cb);
  Send(kRestart);
  EXPECT_EQ(dev.GetControlBlock(), cb);
  EXPECT_EQ(dev.Installs().hm, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RestartWithoutInstall,
    ::testing::Values(
        NoInstallCase{"OpenMarkerMissing", [](ControlBlock& c) { c.valid0 = 0xFFFFFFFF; }},
        NoInstallCase{"CloseMarkerWrong", [](ControlBlock& c) { c.valid1 = 0x414E5556; }},
        NoInstallCase{"AlreadyInstalled", [](ControlBlock& c) { c.oldFirmwareHM = 0x108; }},
        NoInstallCase{"NothingNew", [](ControlBlock& c) { c.newFirmwareHM = 0xFFFFFFFF; }},
        NoInstallCase{"ErasedBlock", [](ControlBlock& c) { c = ControlBlock(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceTest, ControlBlockLayoutOnFlash) {
  dev.PresetControlBlock(ControlBlock::Installed(0x109, 0x105, 0x112));
  const Bytes b = dev.ReadFlash(0, 256);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 4), (Bytes{0x56, 0x55, 0x4E, 0x41}));       // "VUNA"
  EXPECT_EQ(Bytes(b.begin() + 12, b.begin() + 16), (Bytes{0x41, 0x4E, 0x55, 0x56})); // "ANUV"
  EXPECT_EQ(Le32At(b, 4), 0x109u);
  EXPECT_EQ(Le32At(b, 8), 0x109u);
  EXPECT_EQ(Le32At(b, 16), 0x414E5556u);
  EXPECT_EQ(Le32At(b, 20), 0x105u);
  EXPECT_EQ(Le32At(b, 24), 0x105u);
  EXPECT_EQ(Le32At(b, 28), 0x56554E41u);
  EXPECT_EQ(Le32At(b, 32), 0x414E5556u);
  EXPECT_EQ(Le32At(b, 36), 0x112u);
  EXPECT_EQ(Le32At(b, 40), 0x112u);
  EXPECT_EQ(Le32At(b, 44), 0x3A000u);
  EXPECT_EQ(Le32At(b, 48), 0x56554E41u);
}

TEST_F(DeviceTest, PowerOffMakesTheDeviceSilentUntilPowerOn) {
  EXPECT_TRUE(Send(kPowerOff).empty());
  EXPECT_FALSE(dev.IsPoweredOn());
  EXPECT_FALSE(dev.InUpdateMode());
  EXPECT_TRUE(Send(UpdateModeReq(127, 0, 0, 1)).empty());
  EXPECT_TRUE(Send(BlankReq(0)).empty());
  EXPECT_TRUE(Send(kRestart).empty());
  EXPECT_EQ(dev.FramesIgnoredWhileOff(), 3u);

  EXPECT_TRUE(dev.PowerOn());
  EXPECT_FALSE(dev.InUpdateMode()) << "a handheld boots into normal operation";
  EXPECT_TRUE(Send(BlankReq(0)).empty());
  EXPECT_EQ(Send(UpdateModeReq(127, 0, 0, 1)).size(), 2u);
}

TEST_F(DeviceTest, PowerOnInstallsStagedRadioModuleFirmware) {
  dev.PresetControlBlock(Staged(0xFFFFFFFF, 0x105));
  Send(kRestart);
  EXPECT_EQ(dev.GetControlBlock().oldFirmwareRM, 0xFFFFFFFFu);
  Send(kPowerOff);
  dev.PowerOn();
  EXPECT_EQ(dev.GetControlBlock().oldFirmwareRM, 0x105u);
  EXPECT_EQ(dev.GetControlBlock().newFirmwareRM, 0x105u);
  EXPECT_EQ(dev.Installs().rm, 1u);
  EXPECT_EQ(dev.Installs().hm, 0u);
}

TEST_F(DeviceTest, RadioModuleGroupNeedsItsOwnMarkers) {
  ControlBlock cb = Staged(0xFFFFFFFF, 0x105);
  cb.valid3 = 0;
  dev.PresetControlBlock(cb);
  dev.PowerOff();
  dev.PowerOn();
  EXPECT_EQ(dev.GetControlBlock().oldFirmwareRM, 0xFFFFFFFFu);
}

// The main controller update as the tool runs it, at frame level: erase the
// first unit, stage a firmware, write the block, verify, restart.
TEST_F(DeviceTest, StagedUpdateEndsWithInstalledVersion) {
  dev.PresetControlBlock(ControlBlock::Installed(0x108, 0x105, 0x112));
  Bytes cbBytes = dev.ReadFlash(0, 256);
  ASSERT_EQ(One(EraseReq(0)), EraseReq(0));
  ASSERT_EQ(PageOf(One(BlankReq(0))), 256);

  const Bytes fw = Pattern(1000, 5);
  for (size_t off = 0; off < fw.size(); off += 256) {
    const Bytes chunk(fw.begin() + off, fw.begin() + std::min(fw.size(), off + 256));
    const Bytes r = One(WriteReq(static_cast<uint32_t>(0x400 + off), chunk));
    ASSERT_EQ(Bytes(r.begin() + 12, r.end()), chunk);
  }
  // New block: new version staged, nothing installed yet.
  cbBytes[4] = 0x09;
  cbBytes[5] = 0x01;
  std::fill(cbBytes.begin() + 8, cbBytes.begin() + 12, 0xFF);
  ASSERT_EQ(One(WriteReq(0, cbBytes)).size(), 268u);

  Bytes unit(0x10000, 0xFF);
  std::copy(cbBytes.begin(), cbBytes.end(), unit.begin());
  std::copy(fw.begin(), fw.end(), unit.begin() + 0x400);
  EXPECT_EQ(PageOf(One(VerifyReq(0, 1, Signatures(unit, 1)))), 256);
  EXPECT_EQ(PageOf(One(VerifyReq(0, 2, Signatures(unit, 2)))), 256);

  Send(kRestart);
  EXPECT_EQ(dev.GetControlBlock().oldFirmwareHM, 0x109u);
  EXPECT_EQ(dev.GetControlBlock().oldFirmwareRM, 0x105u);
}

TEST_F(DeviceTest, LogRecordsEveryFrameInOrder) {
  dev.ClearLog();
  Send(BlankReq(0));
  Send(ReadReq(0, 2));
  const auto& log = dev.Log();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].kind, kavelosim::LogEntry::Kind::Received);
  EXPECT_EQ(log[0].bytes, BlankReq(0));
  EXPECT_EQ(log[0].peer, kTool);
  EXPECT_EQ(log[1].kind, kavelosim::LogEntry::Kind::Sent);
  EXPECT_EQ(log[1].bytes.size(), 11u);
  EXPECT_EQ(log[2].kind, kavelosim::LogEntry::Kind::Received);
  EXPECT_EQ(log[3].kind, kavelosim::LogEntry::Kind::Sent);
  for (size_t i = 1; i < log.size(); ++i) {
    EXPECT_EQ(log[i].seq, log[i - 1].seq + 1);
    EXPECT_GE(log[i].timeMs, log[i - 1].timeMs);
  }
}

TEST(DeviceModes, VirtualClockStampsTheLog) {
  KaveloDevice dev;
  uint64_t now = 1000;
  dev.SetClock([&now] { return now; });
  const Bytes req = UpdateModeReq(127, 0, 0, 1);
  dev.HandleFrame(req.data(), req.size(), kTool);
  now = 1500;
  dev.HandleFrame(kRestart.data(), kRestart.size(), kTool);
  EXPECT_EQ(dev.Log().front().timeMs, 1000u);
  EXPECT_EQ(dev.Log().back().timeMs, 1500u);
}

} // namespace
