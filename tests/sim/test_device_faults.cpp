// Each named fault of the device model, seen to happen, and the promise that
// the same seed gives the same faults.
#include "DeviceFixture.h"

#include <algorithm>
#include <numeric>

using namespace simtest;
using kavelosim::Command;
using kavelosim::FaultRules;
using kavelosim::ReplySelector;

namespace {

class FaultTest : public DeviceTest {
protected:
  void Faults(const FaultRules& r) { dev.SetFaults(r); }
  // The delays of many replies, as the injector drew them.
  std::vector<uint32_t> JitterDelays(int replies) {
    std::vector<uint32_t> delays;
    for (int i = 0; i < replies; ++i)
      for (const auto& reply : Send(BlankReq(0))) delays.push_back(reply.delayMs);
    return delays;
  }
};

TEST_F(FaultTest, LoseTheNthReplyOfACommand) {
  FaultRules r;
  r.lose.push_back(ReplySelector::Nth(Command::Read, 2));
  Faults(r);
  EXPECT_EQ(Send(ReadReq(0, 4)).size(), 1u);
  EXPECT_EQ(Send(BlankReq(0)).size(), 1u) << "other commands do not count";
  EXPECT_TRUE(Send(ReadReq(0, 4)).empty());
  EXPECT_EQ(Send(ReadReq(0, 4)).size(), 1u);
  EXPECT_EQ(dev.Stats().lost, 1u);
  bool logged = false;
  for (const auto& e : dev.Log()) {
    if (e.kind == kavelosim::LogEntry::Kind::Suppressed && e.note == "lost") logged = true;
  }
  EXPECT_TRUE(logged);
}

TEST_F(FaultTest, LoseAllRepliesOfACommandButStillActOnIt) {
  FaultRules r;
  r.lose.push_back(ReplySelector::All(Command::Erase));
  Faults(r);
  dev.PresetFlash(0x20000, {0x00});
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(Send(EraseReq(0x20000)).empty());
  EXPECT_EQ(dev.ReadFlash(0x20000, 1), Bytes{0xFF}) << "the erase happened, its reply was lost";
  EXPECT_EQ(PageOf(One(BlankReq(0x20000))), 256);
  EXPECT_EQ(dev.Stats().lost, 3u);
}

TEST_F(FaultTest, LossRateLosesAboutThatShare) {
  FaultRules r;
  r.seed = 42;
  r.lose.push_back(ReplySelector::Rate(0.3));
  Faults(r);
  int lost = 0;
  for (int i = 0; i < 400; ++i)
    lost += Send(BlankReq(0)).empty() ? 1 : 0;
  EXPECT_GT(lost, 80);
  EXPECT_LT(lost, 160);
  EXPECT_EQ(dev.Stats().lost, static_cast<uint64_t>(lost));
}

TEST_F(FaultTest, DelayIsReportedForTheRunner) {
  FaultRules r;
  r.delay.push_back({ReplySelector::All(Command::Write), 150});
  Faults(r);
  auto w = Send(WriteReq(0x400, {1, 2}));
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0].delayMs, 150u);
  auto b = Send(BlankReq(0));
  ASSERT_EQ(b.size(), 1u);
  EXPECT_EQ(b[0].delayMs, 0u);
  EXPECT_EQ(dev.Stats().delayed, 1u);
}

TEST_F(FaultTest, JitterHasItsMedianAndNinetyNinthPercentileAndRepeatsWithItsSeed) {
  FaultRules r;
  r.seed = 5;
  r.jitter = {4, 200};
  Faults(r);
  auto delays = JitterDelays(20000);
  ASSERT_EQ(delays.size(), 20000u);
  EXPECT_EQ(dev.Stats().delayedMsTotal, std::accumulate(delays.begin(), delays.end(), uint64_t{0}));
  auto sorted = delays;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_NEAR(sorted[sorted.size() / 2], 4, 1);
  EXPECT_NEAR(sorted[sorted.size() * 99 / 100], 200, 30);
  EXPECT_LE(sorted.back(), 2000u) << "capped at ten times the 99th percentile";

  Faults(r);
  EXPECT_EQ(JitterDelays(20000), delays) << "the same seed gives the same delays";
  r.seed = 6;
  Faults(r);
  EXPECT_NE(JitterDelays(20000), delays);
}

TEST_F(FaultTest, AJitteredDuplicateTravelsWithADelayOfItsOwn) {
  FaultRules r;
  r.seed = 9;
  r.jitter = {20, 400};
  r.duplicate.push_back(ReplySelector::All(Command::BlankCheck));
  Faults(r);
  int differing = 0;
  for (int i = 0; i < 50; ++i) {
    auto d = Send(BlankReq(0));
    ASSERT_EQ(d.size(), 2u);
    EXPECT_FALSE(d[0].duplicate);
    EXPECT_TRUE(d[1].duplicate);
    differing += d[0].delayMs != d[1].delayMs ? 1 : 0;
  }
  EXPECT_GT(differing, 40);
}

TEST_F(FaultTest, DuplicateSendsTheSameReplyTwice) {
  FaultRules r;
  r.duplicate.push_back(ReplySelector::Nth(Command::BlankCheck, 1));
  Faults(r);
  auto d = Send(BlankReq(0));
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0].bytes, d[1].bytes);
  EXPECT_EQ(d[1].note, "duplicate");
  EXPECT_EQ(Send(BlankReq(0)).size(), 1u);
  EXPECT_EQ(dev.Stats().duplicated, 1u);
}

TEST_F(FaultTest, LateReplyArrivesAfterTheReplyToTheNextRequest) {
  FaultRules r;
  r.late.push_back(ReplySelector::Nth(Command::Read, 1));
  Faults(r);
  dev.PresetFlash(0, {0xA1, 0xA2});
  EXPECT_TRUE(Send(ReadReq(0, 1)).empty()) << "held back";
  auto next = Send(ReadReq(1, 1));
  ASSERT_EQ(next.size(), 2u);
  EXPECT_EQ(next[0].bytes.back(), 0xA2) << "the reply to this request first";
  EXPECT_EQ(next[1].bytes.back(), 0xA1) << "then the stale one, last in the tool's latch";
  EXPECT_EQ(next[1].note, "late");
  EXPECT_EQ(dev.Stats().late, 1u);
}

TEST_F(FaultTest, EveryReplyLateShiftsAnswersByOne) {
  FaultRules r;
  r.late.push_back(ReplySelector::All(Command::Any));
  Faults(r);
  dev.PresetFlash(0, {0x10, 0x11, 0x12});
  EXPECT_TRUE(Send(ReadReq(0, 1)).empty());
  for (uint32_t a = 1; a < 3; ++a) {
    auto out = Send(ReadReq(a, 1));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes.back(), 0x10 + a - 1) << "answer to the previous request";
  }
}

TEST_F(FaultTest, CorruptReadBackLeavesFlashRight) {
  FaultRules r;
  r.corruptReadback.push_back(ReplySelector::Nth(Command::Write, 2));
  Faults(r);
  const Bytes data = Pattern(256, 1);
  const Bytes first = One(WriteReq(0x400, data));
  EXPECT_EQ(Bytes(first.begin() + 12, first.end()), data);
  const Bytes second = One(WriteReq(0x500, data));
  ASSERT_EQ(second.size(), 268u);
  const Bytes back(second.begin() + 12, second.end());
  int differing = 0;
  for (size_t i = 0; i < data.size(); ++i)
    differing += back[i] != data[i] ? 1 : 0;
  EXPECT_EQ(differing, 1);
  EXPECT_EQ(dev.ReadFlash(0x500, 256), data);
  EXPECT_EQ(dev.Stats().corruptedReadbacks, 1u);
}

TEST_F(FaultTest, WrongEchoChangesTheAddressButStillErases) {
  FaultRules r;
  r.wrongEcho.push_back(ReplySelector::Nth(Command::Erase, 0));
  Faults(r);
  dev.PresetFlash(0x30000, {0x00});
  const Bytes req = EraseReq(0x30000);
  const Bytes reply = One(req);
  ASSERT_EQ(reply.size(), 9u);
  EXPECT_EQ(reply[0], 9);
  EXPECT_NE(reply, req);
  EXPECT_NE(Le32At(reply, 5), 0x30000u);
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 5), Bytes(req.begin(), req.begin() + 5));
  EXPECT_EQ(dev.ReadFlash(0x30000, 1), Bytes{0xFF});
  EXPECT_EQ(dev.Stats().wrongEchoes, 1u);
}

TEST_F(FaultTest, StuckByteSurvivesErase) {
  FaultRules r;
  r.stuckBytes.push_back(0x3A000 + 5 * 256 + 3);
  Faults(r);
  One(EraseReq(0x30000));
  EXPECT_EQ(dev.ReadFlash(0x3A503, 1), Bytes{0x00});
  EXPECT_EQ(PageOf(One(BlankReq(0x30000))), 0xA0 + 5) << "page 165 of the unit";
  One(EraseReq(0x20000));
  EXPECT_EQ(dev.Stats().stuckBytesKept, 1u) << "only erases of its own unit count";
}

TEST_F(FaultTest, VanishStopsAllAnswersAfterNFrames) {
  FaultRules r;
  r.vanishAfterFrames = 3;
  Faults(r);
  EXPECT_EQ(Send(BlankReq(0)).size(), 1u);
  EXPECT_TRUE(Send(kToolAnnounce).empty());
  EXPECT_EQ(Send(ReadReq(0, 1)).size(), 1u);
  EXPECT_TRUE(Send(ReadReq(0, 1)).empty());
  EXPECT_TRUE(Send(UpdateModeReq(127, 0, 0, 1)).empty());
  EXPECT_TRUE(Send(WriteReq(0, {0})).empty());
  EXPECT_EQ(dev.ReadFlash(0, 1), Bytes{0xFF}) << "a vanished device acts on nothing";
  EXPECT_EQ(dev.Stats().framesIgnoredAfterVanish, 3u);
}

// A mixed run: the same requests against two devices.
std::vector<Bytes> MixedRun(uint64_t seed) {
  kavelosim::KaveloDevice dev;
  FaultRules r;
  r.seed = seed;
  r.lose.push_back(ReplySelector::Rate(0.2));
  r.duplicate.push_back(ReplySelector::Rate(0.2));
  r.late.push_back(ReplySelector::Rate(0.1));
  r.corruptReadback.push_back(ReplySelector::Rate(0.2, Command::Write));
  dev.SetFaults(r);
  std::vector<Bytes> out;
  auto send = [&](const Bytes& f) {
    for (auto& reply : dev.HandleFrame(f.data(), f.size(), kTool))
      out.push_back(reply.bytes);
    out.push_back({}); // marks the end of one request's answers
  };
  send(UpdateModeReq(127, 0, 0, 1));
  for (uint32_t i = 0; i < 150; ++i) {
    send(WriteReq(0x400 + i * 16, Pattern(16, i)));
    send(ReadReq(0x400 + i * 16, 16));
    send(BlankReq(0));
  }
  return out;
}

TEST(FaultSeed, SameSeedSameFaultsOtherSeedOtherFaults) {
  const auto a = MixedRun(7);
  EXPECT_EQ(a, MixedRun(7));
  EXPECT_NE(a, MixedRun(8));
}

TEST(FaultCommands, NamesParse) {
  using kavelosim::ParseCommand;
  EXPECT_EQ(ParseCommand("E4"), Command::Write);
  EXPECT_EQ(ParseCommand("write"), Command::Write);
  EXPECT_EQ(ParseCommand("0xe1"), Command::Erase);
  EXPECT_EQ(ParseCommand("blank-check"), Command::BlankCheck);
  EXPECT_EQ(ParseCommand("update-mode"), Command::UpdateMode);
  EXPECT_EQ(ParseCommand("41"), Command::UpdateMode);
  EXPECT_EQ(ParseCommand("any"), Command::Any);
  EXPECT_FALSE(ParseCommand("E9").has_value());
}

} // namespace
