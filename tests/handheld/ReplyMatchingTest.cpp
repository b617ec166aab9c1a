// Replies that come too late for the request they answer, and frames from other hosts: they must
// neither end a wait nor overwrite a good reply, on the virtual clock against a scripted handheld.

#include "handheld/HandheldFixture.h"

#include <map>

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;

constexpr uint8_t kErase = 0xE1, kVerify = 0xE2, kBlank = 0xE3, kWrite = 0xE4, kRead = 0xE5;

uint8_t CommandOf(const TBytes& f) { return f.size() > 4 ? f[4] : 0; }
uint32_t AddressOf(const TBytes& f) { return f.size() >= 9 ? ReadLE32(f.data() + 5) : 0; }

class ReplyMatchingTest : public HandheldTest {
protected:
  void SetUp() override {
    Connect();
    AnswerWithFlash();
  }
  // The first request with this command (and address, unless any) is answered ms late; the tries
  // after it are answered at once.
  void AnswerFirstLate(uint8_t command, uint64_t ms, std::optional<uint32_t> address = std::nullopt) {
    auto done = std::make_shared<bool>(false);
    fFlash.Override = [this, command, ms, address, done](const TBytes& f) -> std::optional<std::vector<TDeviceReply>> {
      if (*done || CommandOf(f) != command || (address && AddressOf(f) != *address)) return std::nullopt;
      *done = true;
      auto replies = fFlash.Normal(f);
      for (auto& r : replies) r.DelayMs = ms;
      return replies;
    };
  }
  size_t Sent(uint8_t command) const {
    size_t n = 0;
    for (const auto& r : Requests()) n += CommandOf(r) == command ? 1 : 0;
    return n;
  }
  QBuffer& Stream(const TBytes& bytes) { return FillStream(fStream, bytes); }
  QBuffer fStream;
};

TEST_F(ReplyMatchingTest, AReadWithALateReplyReturnsTheRightBytes) {
  fFlash.Flash = Pattern(0x80000, 3);
  // Chunk 0's first reply: after the 200 ms timeout and the answered retry, while chunk 1 waits.
  AnswerFirstLate(kRead, 215);
  QBuffer out;
  out.open(QIODevice::ReadWrite);
  QString err;
  ASSERT_TRUE(fKavelo.ReadFlash(0x2000, 0x2000 + 3 * 256, 256, out, err)) << err.toStdString();
  const TBytes expected(fFlash.Flash.begin() + 0x2000, fFlash.Flash.begin() + 0x2000 + 3 * 256);
  EXPECT_EQ(TBytes(out.data().begin(), out.data().end()), expected);
  EXPECT_EQ(Sent(kRead), 4u); // chunk 0 twice
}

TEST_F(ReplyMatchingTest, LateWriteRepliesDuringTheNextWriteDuringVerifyAndDuringTheNextOperation) {
  struct Case {
    const char* Name;
    uint32_t LateChunk; // address of the chunk whose first reply comes late
    uint64_t LateMs;
  };
  const TBytes data = Pattern(3 * 256 + 40, 11);
  for (const Case& c : {Case{"next write", 0x10000, 250}, Case{"verify", 0x10300, 250},
                        Case{"verify, after its first try", 0x10300, 600}}) {
    SCOPED_TRACE(c.Name);
    fDevice->Sent.clear();
    std::fill(fFlash.Flash.begin(), fFlash.Flash.end(), 0xFF);
    AnswerFirstLate(kWrite, c.LateMs, c.LateChunk);
    QString err;
    ASSERT_TRUE(fKavelo.WriteFlash(0x10000, 0, 256, Stream(data), err)) << err.toStdString();
    fStream.close();
    ASSERT_TRUE(fKavelo.VerifyFlash(0x10000, 0x10000 + data.size(), 256, Stream(data), err)) << err.toStdString();
    fStream.close();
    EXPECT_TRUE(std::equal(data.begin(), data.end(), fFlash.Flash.begin() + 0x10000));
    EXPECT_EQ(Sent(kWrite), 5u); // the late chunk twice
  }
  // The next operation: a control block read right after a write whose last reply is late.
  fDevice->Sent.clear();
  AnswerFirstLate(kWrite, 205, 0);
  TControlBlock block{};
  block.NewFirmwareHM = 0x109;
  QString err;
  ASSERT_TRUE(fKavelo.WriteControlBlock(0, block, err)) << err.toStdString();
  TControlBlock read{};
  ASSERT_TRUE(fKavelo.ReadControlBlock(0, read, err)) << err.toStdString();
  EXPECT_EQ(read.NewFirmwareHM, 0x109u);
}

TEST_F(ReplyMatchingTest, ALateEraseEchoDuringItsOwnBlankCheckIsNotTakenForIt) {
  // The first try's 2000 ms settle and 3000 ms wait pass unanswered, the second try is answered;
  // the first echo comes during the blank check's settle delay.
  AnswerFirstLate(kErase, 8000);
  QString err;
  ASSERT_TRUE(fKavelo.EraseFlash(0x20000, 0x30000, err)) << err.toStdString();
  EXPECT_EQ(err, "empty");
  EXPECT_EQ(Sent(kErase), 2u);
  EXPECT_EQ(Sent(kBlank), 1u);
}

TEST_F(ReplyMatchingTest, APassOneReplyDuringPassTwoOfItsUnitIsTakenAsBefore) {
  // Both passes of a unit share their head; a late pass-1 reply cannot be told from pass 2's.
  const TBytes data(256, 0xFF);
  int passTwoTries = 0;
  fFlash.Override = [&](const TBytes& f) -> std::optional<std::vector<TDeviceReply>> {
    if (CommandOf(f) != kVerify) return std::nullopt;
    auto replies = fFlash.Normal(f);
    if (f[9] == 1) replies.push_back({replies[0].Header, replies[0].Payload, 15}); // a copy, late
    if (f[9] == 2 && ++passTwoTries == 1) return std::vector<TDeviceReply>{};      // pass 2 unanswered
    return replies;
  };
  QString err;
  ASSERT_TRUE(fKavelo.VerifyFlash(0, 256, 256, Stream(data), err)) << err.toStdString();
  EXPECT_EQ(passTwoTries, 1); // the copy of pass 1 ended pass 2's wait
}

TEST_F(ReplyMatchingTest, EveryReplyTwiceWithTheCopyInTheNextExchange) {
  fFlash.Override = [&](const TBytes& f) -> std::optional<std::vector<TDeviceReply>> {
    auto replies = fFlash.Normal(f);
    if (!replies.empty()) replies.push_back({replies[0].Header, replies[0].Payload, kWaitStepMs + 1});
    return replies;
  };
  const TBytes data = Pattern(600, 5);
  QString err;
  ASSERT_TRUE(fKavelo.HMUpdateInit(err)) << err.toStdString();
  TControlBlock block{};
  ASSERT_TRUE(fKavelo.ReadControlBlock(0, block, err)) << err.toStdString(); // after the update-mode copy
  ASSERT_TRUE(fKavelo.EraseFlash(0x30000, 0x40000, err)) << err.toStdString();
  ASSERT_TRUE(fKavelo.WriteFlash(0x30000, 0, 256, Stream(data), err)) << err.toStdString();
  fStream.close();
  ASSERT_TRUE(fKavelo.VerifyFlash(0x30000, 0x30000 + 600, 256, Stream(data), err)) << err.toStdString();
  fStream.close();
  QBuffer out;
  out.open(QIODevice::ReadWrite);
  ASSERT_TRUE(fKavelo.ReadFlash(0x30000, 0x30000 + 600, 256, out, err)) << err.toStdString();
  EXPECT_EQ(TBytes(out.data().begin(), out.data().end()), data);
}

TEST_F(ReplyMatchingTest, ALateFrameNeverOverwritesTheGoodReplyInTheLatch) {
  // The good reply first, then in the same wait the echo of an earlier request.
  QString err;
  ASSERT_TRUE(fKavelo.EraseFlash(0x40000, 0x50000, err));
  fFlash.Override = [&](const TBytes& f) -> std::optional<std::vector<TDeviceReply>> {
    if (CommandOf(f) != kBlank) return std::nullopt;
    auto replies = fFlash.Normal(f);
    replies.push_back({0x00B0, {kErase, 0x00, 0x00, 0x04, 0x00}, 5});
    return replies;
  };
  ASSERT_TRUE(fKavelo.EraseFlash(0x40000, 0x50000, err)) << err.toStdString();
  // And between operations, when nothing is awaited, it leaves the latch as it is.
  uint8_t before[512], after[512];
  const int32_t length = fKavelo.Receive(before, 512);
  fDevice->Deliver(0x00B0, {kErase, 0x00, 0x00, 0x04, 0x00});
  EXPECT_EQ(fKavelo.Receive(after, 512), length);
  EXPECT_TRUE(std::equal(before, before + length, after));
}

TEST_F(ReplyMatchingTest, AHeadThatNoRequestHadIsTakenAsBefore) {
  // A handheld that fills bytes 4 to 8 of its blank-check reply differently is not locked out.
  fFlash.Override = [&](const TBytes& f) -> std::optional<std::vector<TDeviceReply>> {
    if (CommandOf(f) != kBlank) return std::nullopt;
    return std::vector<TDeviceReply>{{0x00B0, {0, 0, 0, 0, 0, 0x00, 0x01}}};
  };
  QString err;
  EXPECT_TRUE(fKavelo.EraseFlash(0x50000, 0x60000, err)) << err.toStdString();
  // Nor is one whose erase echo names another address: that is still "Incorrect answer".
  fFlash.Override = [&](const TBytes& f) -> std::optional<std::vector<TDeviceReply>> {
    if (CommandOf(f) != kErase) return std::nullopt;
    return std::vector<TDeviceReply>{{0x00B0, {kErase, 0x00, 0x00, 0x07, 0x00}}};
  };
  EXPECT_FALSE(fKavelo.EraseFlash(0x50000, 0x60000, err));
  EXPECT_EQ(err, "Incorrect answer");
}

class ForeignReplyTest : public ReplyMatchingTest {
protected:
  // Every request is answered by another host only, with the reply the handheld would give.
  void AnswerFromAnotherHost(const QString& host) {
    fDevice->PeerIP = host;
    fIgnored.clear();
    fKavelo.SetIgnoredEvent([this](IKaveloLink* sender, uint16_t header, const uint8_t*, uint16_t,
                                   TIgnoredReply reason) {
      fIgnored.push_back({sender->PeerIP(), header, reason});
    });
  }
  struct TIgnored {
    QString From;
    uint16_t Header;
    TIgnoredReply Reason;
  };
  std::vector<TIgnored> fIgnored;
};

TEST_F(ForeignReplyTest, WhileConnectedOnlyTheHandheldsFramesAreLatched) {
  AnswerFromAnotherHost("192.168.0.66");
  QString err;
  EXPECT_FALSE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, "Nothing received");
  EXPECT_FALSE(fKavelo.EraseFlash(0x10000, 0x20000, err));
  EXPECT_EQ(err, "Nothing received");
  EXPECT_EQ(Sent(kErase), 5u);
  EXPECT_EQ(Sent(kBlank), 0u);
  ASSERT_EQ(fIgnored.size(), 6u);
  EXPECT_EQ(fIgnored[0].From, "192.168.0.66");
  EXPECT_EQ(fIgnored[0].Header, 0x0041);
  EXPECT_EQ(fIgnored[1].Header, 0x00B0);
  EXPECT_EQ(fIgnored[1].Reason, TIgnoredReply::NotFromHandheld);
  // The handheld itself is heard again at once.
  fDevice->PeerIP.clear();
  EXPECT_TRUE(fKavelo.EraseFlash(0x10000, 0x20000, err)) << err.toStdString();
}

TEST_F(ForeignReplyTest, ASearchHearsEveryAddress) {
  ASSERT_TRUE(fKavelo.Disconnect());
  ASSERT_TRUE(fKavelo.Search("192.168.0.9", 21105));
  AnswerFromAnotherHost("192.168.0.66");
  QString err;
  EXPECT_TRUE(fKavelo.HMUpdateInit(err)) << err.toStdString();
  EXPECT_TRUE(fIgnored.empty());
}

TEST_F(ForeignReplyTest, ALateReplyIsReportedAsLate) {
  AnswerFromAnotherHost(QString());
  AnswerFirstLate(kWrite, 250, 0x100);
  const TBytes data = Pattern(512, 2);
  QString err;
  ASSERT_TRUE(fKavelo.WriteFlash(0x0, 0, 256, Stream(data), err)) << err.toStdString();
  fClock->Advance(100);
  ASSERT_EQ(fIgnored.size(), 1u);
  EXPECT_EQ(fIgnored[0].Reason, TIgnoredReply::Late);
}

// The update-mode request names the address through which this machine reaches the handheld.
class UpdateModeAddressTest : public HandheldTest {};

TEST_F(UpdateModeAddressTest, BoundOnAllAdaptersTheRoutedAddressGoesIntoTheRequest) {
  fDevice->LocalIP = "0.0.0.0";
  fDevice->Responder = [](const TBytes&) { return std::vector<TDeviceReply>{{0x0041, {0, 0, 0, 0}}}; };
  fPlatform->Routes[MakeIP(10, 20, 0, 9)] = MakeIP(192, 168, 7, 5);
  ASSERT_TRUE(fKavelo.Connect("10.20.0.9", 21105));
  QString err;
  ASSERT_TRUE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, "TX  08 00 41 00 C0 A8 07 05 ... 192.168.7.5");
  // No route at all: the request still goes out, with 0.0.0.0 as before.
  ASSERT_TRUE(fKavelo.Connect("10.30.0.9", 21105));
  ASSERT_TRUE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, "TX  08 00 41 00 00 00 00 00 ... 0.0.0.0");
  // A binding on one adapter is the tool's address whatever the routes say.
  fDevice->LocalIP = "192.168.0.5";
  ASSERT_TRUE(fKavelo.Connect("10.20.0.9", 21105));
  ASSERT_TRUE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, "TX  08 00 41 00 C0 A8 00 05 ... 192.168.0.5");
}

} // namespace
} // namespace kavelo::test
