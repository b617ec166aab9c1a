// The connection object: opening, closing, the receive latch, announcements and the sends.

#include "handheld/HandheldFixture.h"
#include "handheld/Waiting.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class ConnectionTest : public HandheldTest {};

TEST_F(ConnectionTest, InvalidAddressesOpenNothing) {
  for (const char* text : {"0.0.0.0", "", "256.1.1.1", "192.168.0", "a.b.c.d"}) {
    EXPECT_FALSE(fKavelo.Search(text, 21105)) << text;
    EXPECT_FALSE(fKavelo.Connect(text, 21105)) << text;
  }
  EXPECT_EQ(fDevice->LinksCreated, 0);
  EXPECT_FALSE(fKavelo.Connected());
  EXPECT_EQ(fKavelo.Device(), nullptr);
}

TEST_F(ConnectionTest, ConnectOpensTheLinkTowardTheAddressAndSendsNothing) {
  fPlatform->Arp = std::vector<TArpRow>{{MakeIP(192, 168, 0, 9), 4}, {MakeIP(192, 168, 0, 8), 4}};
  Connect();
  EXPECT_TRUE(fKavelo.Connected());
  EXPECT_EQ(fDevice->LastAddress, MakeIP(192, 168, 0, 9));
  EXPECT_EQ(fDevice->LastPort, 21105);
  EXPECT_EQ(fDevice->LastLocalPort, 21105);
  EXPECT_TRUE(fDevice->Sent.empty());
  ASSERT_EQ(fPlatform->Deleted.size(), 1u); // the handheld's cached hardware address is dropped
  EXPECT_EQ(fPlatform->Deleted[0].Address, MakeIP(192, 168, 0, 9));
}

TEST_F(ConnectionTest, AnEndpointWithoutActiveServerFailsTheOpenAndIsReleasedByDisconnect) {
  fDevice->ServerActive = false;
  EXPECT_FALSE(fKavelo.Connect("192.168.0.9", 21105));
  EXPECT_FALSE(fKavelo.Connected());
  EXPECT_NE(fKavelo.Device(), nullptr);
  EXPECT_TRUE(fKavelo.Disconnect());
  EXPECT_EQ(fKavelo.Device(), nullptr);
  fDevice->ServerActive = true;
  fDevice->HasServer = false;
  EXPECT_FALSE(fKavelo.Search("192.168.0.9", 21105));
}

TEST_F(ConnectionTest, DisconnectOnAClosedConnectionReturnsFalseAndClearsTheFlags) {
  EXPECT_FALSE(fKavelo.Disconnect());
  EXPECT_FALSE(fKavelo.Connected());
  EXPECT_FALSE(fKavelo.HasControlBlock());
  Connect();
  EXPECT_TRUE(fKavelo.Disconnect());
  EXPECT_FALSE(fKavelo.Connected());
  EXPECT_FALSE(fKavelo.Disconnect());
}

TEST_F(ConnectionTest, LatchesFlashAndUpdateModeFramesWhole) {
  Connect();
  std::vector<uint16_t> events;
  fKavelo.SetReceivedEvent([&](IKaveloLink*, uint16_t header, const uint8_t*, uint16_t) {
    events.push_back(header);
  });
  uint8_t buffer[512];
  for (uint16_t header : {0x0041, 0x00B0}) {
    fDevice->Deliver(header, {1, 2, 3, 4, 5, 6, 7, 8});
    std::fill(std::begin(buffer), std::end(buffer), 0xCC);
    EXPECT_EQ(fKavelo.Receive(buffer, 512), 12);
    EXPECT_THAT(TBytes(buffer, buffer + 12),
                ElementsAre(0x0C, 0x00, header & 0xFF, header >> 8, 1, 2, 3, 4, 5, 6, 7, 8));
  }
  EXPECT_THAT(events, ElementsAre(0x0041, 0x00B0));
  fDevice->Deliver(0x0031, {1});
  fDevice->Deliver(0x00B1, {1});
  EXPECT_EQ(events.size(), 2u);
  EXPECT_EQ(fKavelo.Receive(buffer, 512), 12); // unchanged by other headers
}

TEST_F(ConnectionTest, AnArmedLatchGivesMinusOneAndCopiesNothing) {
  Connect();
  AnswerWithFlash();
  QBuffer out;
  out.open(QIODevice::ReadWrite);
  QString err;
  fDevice->Responder = nullptr;
  EXPECT_FALSE(fKavelo.ReadFlash(0, 16, 16, out, err)); // leaves the latch armed
  uint8_t buffer[4] = {0xCC, 0xCC, 0xCC, 0xCC};
  EXPECT_EQ(fKavelo.Receive(buffer, 4), -1);
  EXPECT_THAT(buffer, ElementsAre(0xCC, 0xCC, 0xCC, 0xCC));
}

TEST_F(ConnectionTest, AnOversizedFrameNeverOverrunsTheLatch) {
  Connect();
  TBytes payload = Pattern(600);
  fDevice->Deliver(0x00B0, payload);
  uint8_t buffer[512];
  EXPECT_EQ(fKavelo.Receive(buffer, 512), 604);
  EXPECT_EQ(ReadLE16(buffer), 604);
  EXPECT_TRUE(std::equal(buffer + 4, buffer + 512, payload.begin()));
}

TEST_F(ConnectionTest, AnnouncementsAreCollectedAndAnsweredToTheEndpointsAddress) {
  ASSERT_TRUE(fKavelo.Search("192.168.0.255", 21105));
  fDevice->PeerIP = "192.168.0.10";
  fDevice->Deliver(0x0010, {0x01});
  fDevice->PeerIP = "192.168.0.9";
  fDevice->Deliver(0x0010, {});
  fDevice->Deliver(0x0010, {});
  EXPECT_THAT(fKavelo.PeerIPs(), ElementsAre("192.168.0.10", "192.168.0.9", "192.168.0.9"));
  const auto answers = fDevice->Frames(TSentFrame::SendFrame);
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_THAT(answers[0], ElementsAre(0x05, 0x00, 0x10, 0x00, 0x12));
  EXPECT_TRUE(fKavelo.Disconnect());
  EXPECT_TRUE(fKavelo.PeerIPs().isEmpty());
}

TEST_F(ConnectionTest, SearchBroadcastsButRestartStaysUnicast) {
  ASSERT_TRUE(fKavelo.Search("192.168.0.9", 21105));
  const uint8_t frame[] = {0x08, 0x00, 0x41, 0x00, 192, 168, 0, 5};
  EXPECT_TRUE(fKavelo.Transmit(frame, sizeof frame));
  fKavelo.Restart();
  fKavelo.Restart("192.168.0.10");
  fKavelo.PowerOff();
  ASSERT_EQ(fDevice->Sent.size(), 4u);
  EXPECT_EQ(fDevice->Sent[0].Kind, TSentFrame::Broadcast);
  EXPECT_EQ(fDevice->Sent[1].Kind, TSentFrame::Transmit);
  EXPECT_THAT(fDevice->Sent[1].Frame, ElementsAre(0x04, 0x00, 0x31, 0x00));
  EXPECT_EQ(fDevice->Sent[2].Kind, TSentFrame::SendFrameTo);
  EXPECT_EQ(fDevice->Sent[2].IPAddress, "192.168.0.10");
  EXPECT_THAT(fDevice->Sent[2].Frame, ElementsAre(0x04, 0x00, 0x31, 0x00));
  EXPECT_THAT(fDevice->Sent[3].Frame, ElementsAre(0x04, 0x00, 0x32, 0x00));
}

TEST_F(ConnectionTest, RestartAndPowerOffDoNothingWithoutEndpoint) {
  fKavelo.Restart();
  fKavelo.Restart("192.168.0.10");
  fKavelo.PowerOff();
  EXPECT_TRUE(fDevice->Sent.empty());
}

TEST_F(ConnectionTest, VirtualWaitsRunOnTheVirtualClock) {
  const uint64_t start = fClock->NowMs();
  EXPECT_TRUE(WaitUntil(5000, [] { return true; }));
  EXPECT_EQ(fClock->NowMs() - start, 10u);
  EXPECT_FALSE(WaitUntil(200, [] { return false; }));
  EXPECT_EQ(fClock->NowMs() - start, 210u);
  Delay(0);
  EXPECT_EQ(fClock->NowMs() - start, 220u);
  Delay(2000);
  EXPECT_EQ(fClock->NowMs() - start, 2220u);
}

// The real waiter, on this thread's event loop.
class RealWaitTest : public ::testing::Test {
protected:
  std::shared_ptr<IWaiter> fPrevious = SetWaiter(nullptr);
  ~RealWaitTest() override { SetWaiter(fPrevious); }
};

TEST_F(RealWaitTest, EndsAsSoonAsTheConditionHoldsAfterAnEvent) {
  bool delivered = false;
  QTimer::singleShot(30, [&] { delivered = true; });
  QElapsedTimer clock;
  clock.start();
  EXPECT_TRUE(WaitUntil(2000, [&] { return delivered; }));
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_GE(clock.elapsed(), 25);
}

TEST_F(RealWaitTest, GivesUpAfterItsTimeout) {
  QElapsedTimer clock;
  clock.start();
  int evaluations = 0;
  EXPECT_FALSE(WaitUntil(200, [&] { return ++evaluations < 0; }));
  EXPECT_GE(clock.elapsed(), 200);
  EXPECT_GE(evaluations, 5); // looked at least every 10 ms or so, not once at the end
}

TEST_F(RealWaitTest, DelayLastsItsFullTimeWhileEventsRun) {
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(5);
  QElapsedTimer clock;
  clock.start();
  Delay(100);
  EXPECT_GE(clock.elapsed(), 100);
  EXPECT_GE(ticks, 5); // the event loop kept running
}

} // namespace
} // namespace kavelo::test

namespace kavelo::test {
namespace {

TEST_F(ConnectionTest, AFloodOfAnnouncementsDoesNotGrowThePeerListWithoutEnd) {
  ASSERT_TRUE(fKavelo.Search("192.168.0.9", 21105));
  for (int i = 0; i < 5000; ++i) fDevice->Deliver(0x0010, {0x01});
  EXPECT_EQ(fKavelo.PeerIPs().size(), 1024);
  EXPECT_EQ(fDevice->Frames(TSentFrame::SendFrame).size(), 5000u); // each is still answered
}

} // namespace
} // namespace kavelo::test
