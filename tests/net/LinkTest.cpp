// The link over real UDP on loopback, against a scripted peer.

#include "net/LinkFixture.h"

namespace kavelo {
namespace {

using namespace std::chrono;
using test::Concat;
using test::Frame;
using test::LinkTest;
using test::PumpFor;
using test::PumpUntil;
using test::TBytes;
using test::TScriptedReply;
using test::TTestLink;
using ::testing::ElementsAre;

TEST_F(LinkTest, BindsOnTheAdapterThatServesThePeer) {
  auto link = Open();
  ASSERT_NE(link->Server(), nullptr);
  EXPECT_TRUE(link->Server()->Active());
  EXPECT_EQ(link->Server()->Binding()->IP.toStdString(), fToolIP);
  EXPECT_EQ(link->Server()->Binding()->Port, 21105);
}

TEST_F(LinkTest, TimeoutZeroSendsAndReturnsAtOnceWithoutArming) {
  auto link = Open();
  // A request that timed out leaves 0x77 armed; the threaded mode is switched on by hand. A send
  // without a wait must leave both as they are.
  EXPECT_FALSE(link->SendFrame(0x77, nullptr, 0, nullptr, 0, nullptr, 20));
  ASSERT_EQ(link->WantedReceiveHeader(), 0x77);
  link->Server()->SetThreadedEvent(true);
  ASSERT_TRUE(fPeer.WaitForReceived(1));
  const TBytes payload{0x01, 0x02};
  const auto start = steady_clock::now();
  EXPECT_TRUE(link->SendFrame(0x1A, payload.data(), 2, nullptr, 0, nullptr, 0));
  EXPECT_LT(steady_clock::now() - start, 100ms);
  EXPECT_EQ(link->WantedReceiveHeader(), 0x77);
  EXPECT_TRUE(link->Server()->ThreadedEvent());
  link->Server()->SetThreadedEvent(false);
  ASSERT_TRUE(fPeer.WaitForReceived(2));
  EXPECT_THAT(fPeer.Received()[1], ElementsAre(0x06, 0x00, 0x1A, 0x00, 0x01, 0x02));
}

TEST_F(LinkTest, TimeoutZeroFromAFreshLinkSendsTheFrameAsItIs) {
  auto link = Open();
  const TBytes payload{0x01, 0x02};
  EXPECT_TRUE(link->SendFrame(0x1A, payload.data(), 2, nullptr, 0, nullptr, 0));
  ASSERT_TRUE(fPeer.WaitForReceived(1));
  EXPECT_THAT(fPeer.Received()[0], ElementsAre(0x06, 0x00, 0x1A, 0x00, 0x01, 0x02));
}

TEST_F(LinkTest, ReplyCompletesTheRequestAndAFollowingFrameGoesToCallbackThenObservers) {
  auto link = Open();
  Reply([](const TBytes&) {
    return Concat({Frame(0x1A, {1, 2, 3, 4, 5, 6, 7, 8}), Frame(0x10, {0xAA})});
  });
  uint8_t buffer[8] = {};
  uint16_t size = 0;
  ASSERT_TRUE(link->SendFrame(0x1A, nullptr, 0, buffer, sizeof buffer, &size, 500));
  EXPECT_EQ(size, 8);
  EXPECT_THAT(buffer, ElementsAre(1, 2, 3, 4, 5, 6, 7, 8));
  ASSERT_TRUE(PumpUntil([&] { return Events().size() >= 2; }));
  EXPECT_THAT(Events(), ElementsAre("cb:1000:AA", "obs:1000:AA"));
  std::lock_guard lock(fMutex);
  EXPECT_THAT(fPeerIPsSeen, ElementsAre(fPeerIP));
}

TEST_F(LinkTest, OnlyTheFirstOfTwoAwaitedFramesIsClaimed) {
  auto link = Open();
  Reply([](const TBytes&) { return Concat({Frame(0x1A, {0x01}), Frame(0x1A, {0x02})}); });
  uint8_t buffer[4] = {};
  uint16_t size = 0;
  ASSERT_TRUE(link->SendFrame(0x1A, nullptr, 0, buffer, sizeof buffer, &size, 500));
  EXPECT_EQ(size, 1);
  EXPECT_EQ(buffer[0], 0x01);
  ASSERT_TRUE(PumpUntil([&] { return Events().size() >= 2; }));
  EXPECT_THAT(Events(), ElementsAre("cb:1A00:02", "obs:1A00:02"));
}

TEST_F(LinkTest, AHeaderAbove255NeverCompletesARequest) {
  auto link = Open();
  Reply([](const TBytes&) { return Frame(0x0112, {0x05}); });
  uint16_t size = 0xFFFF;
  EXPECT_FALSE(link->SendFrame(0x12, nullptr, 0, nullptr, 0, &size, 200));
  EXPECT_EQ(size, 0xFFFF); // untouched on a timeout
  ASSERT_TRUE(PumpUntil([&] { return Events().size() >= 2; }));
  EXPECT_THAT(Events(), ElementsAre("cb:1201:05", "obs:1201:05"));
}

TEST_F(LinkTest, AnEmptyReplyCompletesWithSizeZeroAndCopiesNothing) {
  auto link = Open();
  Reply([](const TBytes&) { return Frame(0x1A); });
  uint8_t buffer[4] = {0xCC, 0xCC, 0xCC, 0xCC};
  uint16_t size = 0xFFFF;
  ASSERT_TRUE(link->SendFrame(0x1A, nullptr, 0, buffer, sizeof buffer, &size, 500));
  EXPECT_EQ(size, 0);
  EXPECT_THAT(buffer, ElementsAre(0xCC, 0xCC, 0xCC, 0xCC));
}

TEST_F(LinkTest, AReplyLongerThanTheCallersBufferIsCutToItsCapacity) {
  auto link = Open();
  Reply([](const TBytes&) { return Frame(0x1A, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}); });
  uint8_t buffer[8] = {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
  uint16_t size = 0;
  ASSERT_TRUE(link->SendFrame(0x1A, nullptr, 0, buffer, 4, &size, 500));
  EXPECT_EQ(size, 10); // the caller learns the true length and can refuse it
  EXPECT_THAT(buffer, ElementsAre(1, 2, 3, 4, 0xCC, 0xCC, 0xCC, 0xCC));
}

TEST_F(LinkTest, SendHeaderZeroOnlyWaits) {
  auto link = Open();
  std::thread later([&] {
    std::this_thread::sleep_for(50ms);
    fPeer.SendTo(fToolIP, Frame(0x84, {0x42}));
  });
  uint8_t buffer[1] = {};
  uint16_t size = 0;
  const bool ok = link->SendFrameEx(0, 0x84, nullptr, 0, buffer, 1, &size, 1000);
  later.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(buffer[0], 0x42);
  EXPECT_TRUE(fPeer.Received().empty());
}

TEST_F(LinkTest, ALateReplyIsStoredNotDeliveredAndItsSignalCannotCompleteTheNextRequest) {
  auto link = Open();
  Reply([](const TBytes&) { return Frame(0x1A, {0x77}); }, 300);
  EXPECT_FALSE(link->SendFrame(0x1A, nullptr, 0, nullptr, 0, nullptr, 100));
  EXPECT_FALSE(link->Server()->ThreadedEvent());
  EXPECT_EQ(link->WantedReceiveHeader(), 0x1A); // still armed after the timeout
  ASSERT_TRUE(PumpUntil([&] { return link->WantedReceiveHeader() == 0; }, 2000));
  PumpFor(50);
  EXPECT_TRUE(Events().empty());
  // The late reply left the event signalled; the next request resets it before waiting.
  fPeer.SetResponder(nullptr);
  const auto start = steady_clock::now();
  EXPECT_FALSE(link->SendFrameEx(0, 0x1A, nullptr, 0, nullptr, 0, nullptr, 150));
  EXPECT_GE(steady_clock::now() - start, 140ms);
}

TEST_F(LinkTest, AFrameWithHeaderZeroIsClaimedWhileNothingIsAwaited) {
  auto link = Open();
  fPeer.SendTo(fToolIP, Concat({Frame(0x0000, {0x01}), Frame(0x10, {0x12})}));
  ASSERT_TRUE(PumpUntil([&] { return Events().size() >= 2; }));
  PumpFor(50);
  EXPECT_THAT(Events(), ElementsAre("cb:1000:12", "obs:1000:12"));
}

TEST_F(LinkTest, ObserversGetFramesWithoutACallbackOnceEachInOrder) {
  auto link = Open(false);
  struct Second : IOrvoObserver {
    std::vector<std::string>* Log;
    std::mutex* Mutex;
    void FrameReceived(uint16_t header, const uint8_t*, uint16_t size) override {
      std::lock_guard lock(*Mutex);
      Log->push_back("second:" + std::to_string(header) + ":" + std::to_string(size));
    }
  } second;
  second.Log = &fEvents;
  second.Mutex = &fMutex;
  link->RegisterObserver(this); // already registered by Open: still one entry
  link->RegisterObserver(&second);
  link->RemoveObserver(nullptr);
  fPeer.SendTo(fToolIP, Frame(0x10, {0x01, 0x02}));
  ASSERT_TRUE(PumpUntil([&] { return Events().size() >= 2; }));
  PumpFor(50);
  EXPECT_THAT(Events(), ElementsAre("obs:1000:0102", "second:16:2"));
  link->RemoveObserver(this);
  link->RemoveObserver(&second);
  fPeer.SendTo(fToolIP, Frame(0x10, {0x03}));
  PumpFor(150);
  EXPECT_EQ(Events().size(), 2u);
}

struct TunnelCase {
  const char* Name;
  std::vector<TScriptedReply> Replies;
  bool WantData;
  int32_t Expected;
  TBytes ExpectedData;
};

class TunnelTest : public LinkTest, public ::testing::WithParamInterface<TunnelCase> {};

TEST_P(TunnelTest, ChecksTheAcknowledgementAndAwaitsTheDataFrame) {
  auto link = Open();
  const auto replies = GetParam().Replies;
  fPeer.SetResponder([replies](const TBytes&) { return replies; });
  uint8_t data[16] = {};
  const auto start = steady_clock::now();
  const int32_t result = link->TunnelRequest(TBytes{0x21, 0x80}, GetParam().WantData ? data : nullptr,
                                             GetParam().WantData ? sizeof data : 0);
  const auto elapsed = steady_clock::now() - start;
  EXPECT_EQ(result, GetParam().Expected);
  ASSERT_TRUE(fPeer.WaitForReceived(1));
  EXPECT_THAT(fPeer.Received()[0], ElementsAre(0x07, 0x00, 0x41, 0x00, 0x21, 0x80, 0xA1));
  if (result > 0) {
    EXPECT_EQ(TBytes(data, data + result), GetParam().ExpectedData);
  }
  if (GetParam().Expected == -1 && std::string(GetParam().Name).starts_with("BadAck")) {
    EXPECT_LT(elapsed, 900ms); // refused without waiting for a data frame
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TunnelTest,
    ::testing::Values(
        TunnelCase{"BadAckValue", {{Frame(0x41, {0x00, 0x01})}}, true, -1, {}},
        TunnelCase{"BadAckLength", {{Frame(0x41, {0x00, 0x00, 0x00})}}, true, -1, {}},
        TunnelCase{"AckWithoutReceiveBuffer", {{Frame(0x41, {0x00, 0x00})}}, false, 0, {}},
        TunnelCase{"AckThenData",
                   {{Frame(0x41, {0x00, 0x00})}, {Frame(0x41, {0x63, 0x21, 0x30, 0x12}), 30}},
                   true,
                   4,
                   {0x63, 0x21, 0x30, 0x12}},
        TunnelCase{"DataInTheAckDatagramIsDeliveredInstead",
                   {{Concat({Frame(0x41, {0x00, 0x00}), Frame(0x41, {0x63, 0x21})})}},
                   true,
                   -1,
                   {}},
        TunnelCase{"NoAck", {}, true, -1, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(LinkTest, TunnelDataInTheAcknowledgementsDatagramReachesTheCallback) {
  auto link = Open();
  Reply([](const TBytes&) { return Concat({Frame(0x41, {0x00, 0x00}), Frame(0x41, {0x63})}); });
  uint8_t data[4];
  EXPECT_EQ(link->TunnelRequest(TBytes{0x20}, data, sizeof data), -1);
  PumpUntil([&] { return Events().size() >= 2; });
  EXPECT_THAT(Events(), ElementsAre("cb:4100:63", "obs:4100:63"));
  EXPECT_THAT(fPeer.Received()[0], ElementsAre(0x06, 0x00, 0x41, 0x00, 0x20, 0x20));
}

TEST_F(LinkTest, TunnelRefusesAMessageShorterThanItsHeaderSays) {
  auto link = Open();
  EXPECT_EQ(link->TunnelRequest(TBytes{0x23, 0x01}, nullptr, 0), -1);
  PumpFor(50);
  EXPECT_TRUE(fPeer.Received().empty());
}

TEST_F(LinkTest, RawFrameGoesOutAsItIsAndGivesTheResultByte) {
  auto link = Open();
  const TBytes raw{0x07, 0x00, 0x99, 0x00, 0xAB, 0xCD, 0xEF};
  Reply([](const TBytes&) { return TBytes{0x05, 0x00, 0x20, 0x00, 0x07}; });
  EXPECT_EQ(link->SendRawFrame(raw.data(), static_cast<uint16_t>(raw.size()), 500), 7);
  EXPECT_EQ(fPeer.Received().at(0), raw);
  Reply([](const TBytes&) { return TBytes{0x06, 0x00, 0x20, 0x00, 0x07, 0x08}; });
  EXPECT_EQ(link->SendRawFrame(raw.data(), static_cast<uint16_t>(raw.size()), 300), -1);
  fPeer.SetResponder(nullptr);
  EXPECT_EQ(link->SendRawFrame(raw.data(), static_cast<uint16_t>(raw.size()), 0), -1);
  EXPECT_FALSE(link->Server()->ThreadedEvent());
}

TEST_F(LinkTest, DatagramsFromTheOwnBoundAddressAreIgnored) {
  auto link = Open();
  TUdpSocket own;
  ASSERT_TRUE(own.Bind(StrToIP(QString::fromStdString(fToolIP), 0), 21106));
  const TBytes frame = Frame(0x10, {0x01});
  own.SendTo(StrToIP(QString::fromStdString(fToolIP), 0), 21105, frame.data(), frame.size());
  PumpFor(200);
  EXPECT_TRUE(Events().empty());
  fPeer.SendTo(fToolIP, frame);
  EXPECT_TRUE(PumpUntil([&] { return Events().size() >= 2; }));
}

TEST_F(LinkTest, APortAlreadyInUseLeavesTheLinkWithoutServer) {
  TUdpSocket squatter;
  ASSERT_TRUE(squatter.Bind(StrToIP(QString::fromStdString(fToolIP), 0), 21105));
  TTestLink link(StrToIP(QString::fromStdString(fPeerIP), 0), nullptr, 21105, 21105);
  EXPECT_EQ(link.Server(), nullptr);
  EXPECT_FALSE(link.SendFrame(0x10, nullptr, 0, nullptr, 0, nullptr, 0));
  EXPECT_FALSE(link.SendFrame(0x10, nullptr, 0, nullptr, 0, nullptr, 100));
  EXPECT_EQ(link.SendRawFrame(nullptr, 0, 100), -1);
  EXPECT_EQ(link.TunnelRequest(nullptr, nullptr, 0), -1);
}

TEST_F(LinkTest, WithoutAServingAdapterTheLinkBindsAllAddresses) {
  fPlatform->Adapters.clear();
  const uint16_t port = static_cast<uint16_t>(40000 + (StrToIP(QString::fromStdString(fPeerIP), 0) >> 16) % 20000);
  TTestLink link(StrToIP(QString::fromStdString(fPeerIP), 0), nullptr, port, 0);
  ASSERT_NE(link.Server(), nullptr);
  EXPECT_EQ(link.Server()->Binding()->IP, "0.0.0.0");
  EXPECT_EQ(link.Server()->Binding()->Port, port);
}

TEST_F(LinkTest, OversizedAndMalformedDatagramsNeverReachBeyondTheirEnd) {
  auto link = Open();
  TBytes oversized = Frame(0x10, {0x01});
  oversized.resize(8193, 0x00);
  fPeer.SendTo(fToolIP, oversized); // dropped whole, its good first frame included
  TBytes exact = Frame(0x10, {0x02});
  exact.resize(8192, 0x00);          // fits: first frame delivered, then DataLen 0 ends the walk
  fPeer.SendTo(fToolIP, exact);
  fPeer.SendTo(fToolIP, Concat({Frame(0x10, {0x03}), TBytes{0x03, 0x00, 0x10, 0x00}}));
  fPeer.SendTo(fToolIP, Concat({Frame(0x10, {0x04}), TBytes{0xFF, 0x00, 0x10, 0x00, 0x01}}));
  fPeer.SendTo(fToolIP, TBytes{});
  ASSERT_TRUE(PumpUntil([&] { return Events().size() >= 6; }));
  PumpFor(100);
  EXPECT_THAT(Events(), ElementsAre("cb:1000:02", "obs:1000:02", "cb:1000:03", "obs:1000:03",
                                    "cb:1000:04", "obs:1000:04"));
}

TEST_F(LinkTest, DestroyingWithAHandOverPendingNeitherBlocksNorDeliversLater) {
  auto link = Open();
  TUdpServer* server = link->Server();
  ASSERT_TRUE(SendAndLeaveAHandOverPending(*server));
  const auto start = steady_clock::now();
  link.reset();
  EXPECT_LT(steady_clock::now() - start, 500ms);
  PumpFor(100);
  EXPECT_TRUE(Events().empty());
}

TEST_F(LinkTest, AHandOverQueuedBeforeARequestArmsIsDeliveredAfterThatRequestsWait) {
  auto link = Open();
  TUdpServer* server = link->Server();
  ASSERT_TRUE(SendAndLeaveAHandOverPending(*server));
  // The reply queues behind the pending hand-over, so this request times out.
  Reply([](const TBytes&) { return Frame(0x1A, {0x09}); });
  EXPECT_FALSE(link->SendFrame(0x1A, nullptr, 0, nullptr, 0, nullptr, 200));
  ASSERT_TRUE(PumpUntil([&] { return Events().size() >= 2; }));
  PumpFor(50);
  // The late reply is then claimed (still armed), not delivered.
  EXPECT_THAT(Events(), ElementsAre("cb:1000:01", "obs:1000:01"));
  EXPECT_EQ(link->WantedReceiveHeader(), 0);
}

} // namespace
} // namespace kavelo
