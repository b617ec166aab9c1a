// The simulator on real sockets. Each test has its own loopback pair
// 127.0.N.1 (the test's client) and 127.0.N.2 (the simulator), N from 201
// on, so that tests running in parallel never share an address on port 21105.
#include "KaveloSimulator.h"
#include "RawUdpClient.h"

#include <gtest/gtest.h>
#include <mutex>

using namespace simtest;
using namespace std::chrono_literals;
using kavelosim::Command;
using kavelosim::FaultRules;
using kavelosim::KaveloSimulator;
using kavelosim::ReplySelector;

namespace {

struct Pair {
  std::string client;
  std::string sim;
};
Pair Net(int n) {
  const std::string base = "127.0." + std::to_string(n) + ".";
  return {base + "1", base + "2"};
}

class UdpTest : public ::testing::Test {
protected:
  void Open(int n) {
    third = static_cast<uint8_t>(n);
    net = Net(n);
    sim = std::make_unique<KaveloSimulator>(net.sim);
    std::string error;
    ASSERT_TRUE(sim->Start(&error)) << error;
    client = std::make_unique<RawUdpClient>(net.client);
    ASSERT_TRUE(client->ok()) << client->error();
  }
  void EnterUpdateMode() {
    // The request names the client, so the announcement comes back to it.
    ASSERT_TRUE(client->SendTo(net.sim, UpdateModeReq(127, 0, third, 1)));
    const auto all = client->ReceiveAll(150ms);
    ASSERT_EQ(all.size(), 2u);
  }
  Bytes Ask(const Bytes& req) { return client->Exchange(net.sim, req); }
  bool Silent(const Bytes& req) {
    return client->SendTo(net.sim, req) && !client->Receive(150ms).has_value();
  }

  uint8_t third = 0;
  Pair net;
  std::unique_ptr<KaveloSimulator> sim;
  std::unique_ptr<RawUdpClient> client;
};

TEST_F(UdpTest, UpdateModeReplyThenAnnouncementFromTheSimulatorsAddress) {
  Open(201);
  ASSERT_TRUE(client->SendTo(net.sim, UpdateModeReq(127, 0, 201, 1)));
  const auto all = client->ReceiveAll(150ms);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(HeaderOf(all[0].bytes), 0x0041);
  EXPECT_EQ(all[0].bytes.size(), 8u);
  EXPECT_EQ(all[0].bytes[0], 8);
  EXPECT_EQ(HeaderOf(all[1].bytes), 0x0010);
  for (const auto& d : all) {
    EXPECT_EQ(d.fromIp, net.sim);
    EXPECT_EQ(d.fromPort, 21105);
  }
  EXPECT_TRUE(sim->InUpdateMode());
}

TEST_F(UdpTest, FlashCommandsRoundTrip) {
  Open(202);
  ASSERT_TRUE(Silent(BlankReq(0))) << "no flash command before update mode";
  EnterUpdateMode();
  sim->PresetFlash(0x30000, {0x00});

  EXPECT_EQ(Ask(EraseReq(0x30000)), EraseReq(0x30000));
  EXPECT_EQ(PageOf(Ask(BlankReq(0x30000))), 256);

  const Bytes data = Pattern(256, 4);
  const Bytes w = Ask(WriteReq(0x3A000, data));
  ASSERT_EQ(w.size(), 268u);
  EXPECT_EQ(Bytes(w.begin() + 12, w.end()), data);
  const Bytes r = Ask(ReadReq(0x3A000, 256));
  ASSERT_EQ(r.size(), 267u);
  EXPECT_EQ(Le16At(r, 0), 267);
  EXPECT_EQ(Bytes(r.begin() + 11, r.end()), data);
  EXPECT_EQ(PageOf(Ask(BlankReq(0x30000))), 0xA0);

  Bytes unit(0x10000, 0xFF);
  std::copy(data.begin(), data.end(), unit.begin() + 0xA000);
  EXPECT_EQ(PageOf(Ask(VerifyReq(0x30000, 1, Signatures(unit, 1)))), 256);
  EXPECT_EQ(PageOf(Ask(VerifyReq(0x30000, 2, Signatures(unit, 2)))), 256);
  unit[0xA000 + 300] ^= 0x04; // not in the written page: page 0xA1
  EXPECT_EQ(PageOf(Ask(VerifyReq(0x30000, 1, Signatures(unit, 1)))), 0xA1);

  Bytes bad = ReadReq(0x3A000, 16);
  bad[11] ^= 0xFF;
  EXPECT_TRUE(Silent(bad));
  EXPECT_EQ(sim->ReadFlash(0x3A000, 256), data);
}

TEST_F(UdpTest, PowerOffSilencesUntilPowerOn) {
  Open(203);
  EnterUpdateMode();
  ASSERT_TRUE(client->SendTo(net.sim, kPowerOff));
  ASSERT_TRUE(sim->WaitFor([](const auto& d) { return !d.IsPoweredOn(); }, 1s));
  EXPECT_TRUE(Silent(UpdateModeReq(127, 0, 203, 1)));
  EXPECT_TRUE(Silent(BlankReq(0)));
  sim->PowerOn();
  EXPECT_TRUE(Silent(BlankReq(0))) << "boots into normal mode";
  EnterUpdateMode();
}

TEST_F(UdpTest, PowerOnAfterADelayInstallsRadioModuleFirmware) {
  Open(204);
  auto cb = kavelosim::ControlBlock::Installed(0x109, 0x104, 0x112);
  cb.newFirmwareRM = 0x105;
  cb.oldFirmwareRM = 0xFFFFFFFF;
  sim->PresetControlBlock(cb);
  sim->SetPowerOnAfterMs(100);
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_TRUE(client->SendTo(net.sim, kPowerOff));
  ASSERT_TRUE(sim->WaitFor([](const auto& d) { return !d.IsPoweredOn(); }, 1s));
  ASSERT_TRUE(sim->WaitFor([](const auto& d) { return d.IsPoweredOn(); }, 2s));
  EXPECT_GE(std::chrono::steady_clock::now() - sent, 90ms);
  EXPECT_EQ(sim->GetControlBlock().oldFirmwareRM, 0x105u);
  EXPECT_EQ(sim->Installs().rm, 1u);
}

TEST_F(UdpTest, RestartOverUdpInstallsStagedFirmware) {
  Open(205);
  auto cb = kavelosim::ControlBlock::Installed(0x108, 0x105, 0x112);
  cb.newFirmwareHM = 0x109;
  cb.oldFirmwareHM = 0xFFFFFFFF;
  sim->PresetControlBlock(cb);
  EnterUpdateMode();
  ASSERT_TRUE(client->SendTo(net.sim, kRestart));
  ASSERT_TRUE(sim->WaitFor([](const auto& d) { return d.Installs().hm == 1; }, 1s));
  EXPECT_EQ(sim->GetControlBlock().oldFirmwareHM, 0x109u);
  EXPECT_FALSE(sim->InUpdateMode());
}

TEST_F(UdpTest, RunnerDelaysAndReordersReplies) {
  Open(206);
  EnterUpdateMode();
  FaultRules r;
  r.delay.push_back({ReplySelector::All(Command::BlankCheck), 200});
  r.late.push_back(ReplySelector::Nth(Command::Read, 1));
  sim->SetFaults(r);

  const auto t0 = std::chrono::steady_clock::now();
  const Bytes b = Ask(BlankReq(0));
  EXPECT_EQ(b.size(), 11u);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 190ms);

  sim->PresetFlash(0, {0xC1, 0xC2});
  EXPECT_TRUE(Silent(ReadReq(0, 1)));
  ASSERT_TRUE(client->SendTo(net.sim, ReadReq(1, 1)));
  const auto all = client->ReceiveAll(150ms);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].bytes.back(), 0xC2);
  EXPECT_EQ(all[1].bytes.back(), 0xC1) << "the held-back reply comes last";
}

TEST_F(UdpTest, LostDuplicatedAndVanished) {
  Open(207);
  EnterUpdateMode();
  FaultRules r;
  r.lose.push_back(ReplySelector::Nth(Command::Erase, 1));
  r.duplicate.push_back(ReplySelector::Nth(Command::BlankCheck, 1));
  r.vanishAfterFrames = 3;
  sim->SetFaults(r);
  EXPECT_TRUE(Silent(EraseReq(0)));
  ASSERT_TRUE(client->SendTo(net.sim, BlankReq(0)));
  EXPECT_EQ(client->ReceiveAll(150ms).size(), 2u);
  EXPECT_EQ(Ask(EraseReq(0)).size(), 9u);
  EXPECT_TRUE(Silent(EraseReq(0)));
  const auto stats = sim->Stats();
  EXPECT_EQ(stats.lost, 1u);
  EXPECT_EQ(stats.duplicated, 1u);
  EXPECT_EQ(stats.framesIgnoredAfterVanish, 1u);
}

TEST(UdpTwoSimulators, AnswerIndependentlyOnTheirOwnAddresses) {
  KaveloSimulator a("127.0.208.2"), b("127.0.208.3");
  std::string error;
  ASSERT_TRUE(a.Start(&error)) << error;
  ASSERT_TRUE(b.Start(&error)) << error;
  RawUdpClient client("127.0.208.1");
  ASSERT_TRUE(client.ok()) << client.error();

  for (const char* ip : {"127.0.208.2", "127.0.208.3"}) {
    ASSERT_TRUE(client.SendTo(ip, UpdateModeReq(127, 0, 208, 1)));
    const auto all = client.ReceiveAll(150ms);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].fromIp, ip);
    EXPECT_EQ(Bytes(all[0].bytes.begin() + 4, all[0].bytes.end()),
              (Bytes{127, 0, 208, static_cast<uint8_t>(ip[10] - '0')}));
  }
  const Bytes w = client.Exchange("127.0.208.2", WriteReq(0x100, {0x11, 0x22}));
  EXPECT_EQ(w.size(), 14u);
  EXPECT_EQ(a.ReadFlash(0x100, 2), (Bytes{0x11, 0x22}));
  EXPECT_EQ(b.ReadFlash(0x100, 2), (Bytes{0xFF, 0xFF}));
  EXPECT_EQ(a.Log().size(), 5u) << "update mode + 2 replies, write + reply";
  EXPECT_EQ(b.Log().size(), 3u);
}

TEST(UdpStart, SecondSimulatorOnTheSameAddressFails) {
  KaveloSimulator a("127.0.209.2"), b("127.0.209.2");
  std::string error;
  ASSERT_TRUE(a.Start(&error)) << error;
  EXPECT_FALSE(b.Start(&error));
  EXPECT_NE(error.find("127.0.209.2"), std::string::npos) << error;
  EXPECT_FALSE(b.IsRunning());
}

TEST(UdpStart, BadAddressFails) {
  KaveloSimulator a("127.0.0.256");
  std::string error;
  EXPECT_FALSE(a.Start(&error));
  EXPECT_FALSE(error.empty());
}

TEST(UdpStart, StopIsPromptAndStartCanFollow) {
  KaveloSimulator sim("127.0.210.2");
  for (int i = 0; i < 3; ++i) {
    std::string error;
    ASSERT_TRUE(sim.Start(&error)) << error;
    const auto t0 = std::chrono::steady_clock::now();
    sim.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 500ms);
    EXPECT_FALSE(sim.IsRunning());
  }
  sim.Stop();
}

TEST(UdpStart, LoopbackSimulatorListensOnItsAddressOnly) {
  KaveloSimulator sim("127.0.211.2");
  ASSERT_TRUE(sim.Start());
  EXPECT_EQ(sim.ListeningAddresses(), std::vector<std::string>{"127.0.211.2"});
}

TEST(UdpTrace, OneReadableLinePerFrame) {
  KaveloSimulator sim("127.0.212.2");
  std::mutex m;
  std::vector<std::string> lines;
  sim.SetTrace([&](const std::string& l) {
    std::lock_guard<std::mutex> lock(m);
    lines.push_back(l);
  });
  ASSERT_TRUE(sim.Start());
  RawUdpClient client("127.0.212.1");
  ASSERT_TRUE(client.ok());
  client.SendTo("127.0.212.2", UpdateModeReq(127, 0, 212, 1));
  client.ReceiveAll(100ms);
  EXPECT_EQ(client.Exchange("127.0.212.2", WriteReq(0x400, {1, 2, 3, 4})).size(), 16u);
  ASSERT_TRUE(sim.WaitFor(
      [&](const auto&) {
        std::lock_guard<std::mutex> lock(m);
        return lines.size() >= 5;
      },
      1s));
  std::lock_guard<std::mutex> lock(m);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].rfind("RX 127.0.212.1:21105 update-mode ip=127.0.212.1", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("TX 127.0.212.1:21105 update-mode", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("TX 127.0.212.1:21105 announce", 0), 0u) << lines[2];
  EXPECT_EQ(lines[3].rfind("RX 127.0.212.1:21105 E4 addr=0x00000400 n=4", 0), 0u) << lines[3];
  EXPECT_EQ(lines[4].rfind("TX 127.0.212.1:21105 E4 addr=0x00000400 n=4", 0), 0u) << lines[4];
}

TEST(UdpPorts, RepliesGoToTheSendersPort) {
  KaveloSimulator sim("127.0.213.2");
  ASSERT_TRUE(sim.Start());
  RawUdpClient client("127.0.213.1", 40123);
  ASSERT_TRUE(client.ok());
  ASSERT_TRUE(client.SendTo("127.0.213.2", UpdateModeReq(127, 0, 213, 1)));
  const auto all = client.ReceiveAll(150ms);
  EXPECT_EQ(all.size(), 2u) << "reply and announcement both reach the sender's port";
}

} // namespace

namespace {

TEST(UdpPower, StartedSwitchedOffComesOnByItself) {
  kavelosim::SimulatorOptions o;
  o.address = "127.0.214.2";
  o.powerOnAfterMs = 80;
  KaveloSimulator sim(o);
  sim.PowerOff();
  ASSERT_TRUE(sim.Start());
  EXPECT_FALSE(sim.IsPoweredOn());
  EXPECT_TRUE(sim.WaitFor([](const auto& d) { return d.IsPoweredOn(); }, 2s));
}

} // namespace
