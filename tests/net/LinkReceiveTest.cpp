// The receive side of the link and its endpoint under stress: one claim per datagram, the reply
// handed to the waiting request whole, a socket that fails, a delivery that throws.

#include "common/TestApplication.h"
#include "net/LinkFixture.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

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

TEST_F(LinkTest, AHeaderZeroFrameBehindTheClaimedReplyIsNotClaimedOverIt) {
  auto link = Open();
  Reply([](const TBytes&) { return Concat({Frame(0x1A, {0x01, 0x02, 0x03}), Frame(0x0000, {0x09, 0x09})}); });
  uint8_t buffer[8] = {};
  uint16_t size = 0;
  ASSERT_TRUE(link->SendFrame(0x1A, nullptr, 0, buffer, sizeof buffer, &size, 500));
  EXPECT_EQ(size, 3);
  EXPECT_THAT(TBytes(buffer, buffer + size), ElementsAre(0x01, 0x02, 0x03));
  ASSERT_TRUE(PumpUntil([&] { return Events().size() >= 2; }));
  EXPECT_THAT(Events(), ElementsAre("cb:0000:0909", "obs:0000:0909"));
}

TEST_F(LinkTest, TheWaitingRequestTakesItsOwnReplyWhileHeaderZeroDatagramsPourIn) {
  // Behind each reply come datagrams of header 0, which the listener claims once nothing is
  // awaited; the request must still copy out exactly the reply that woke it.
  auto link = Open();
  // Each round ends with a frame of another header, so the test knows when the flood behind a
  // reply is through: the next request must not arm while a frame of it still waits to be
  // handed over, or that request waits behind it by design.
  fPeer.SetResponder([](const TBytes& got) {
    std::vector<TScriptedReply> replies{{Frame(0x1A, {got[4], 0xAA, 0xBB})}};
    for (uint8_t k = 0; k < 60; ++k) replies.push_back({Frame(0x0000, {0xEE, k, k, k})});
    replies.push_back({Frame(0x10, {got[4]})});
    return replies;
  });
  for (uint8_t round = 0; round < 30; ++round) {
    uint8_t buffer[8] = {};
    uint16_t size = 0;
    const uint8_t tag = static_cast<uint8_t>(round + 1);
    ASSERT_TRUE(link->SendFrame(0x1A, &tag, 1, buffer, sizeof buffer, &size, 1000)) << "round " << int(round);
    ASSERT_EQ(size, 3) << "round " << int(round);
    EXPECT_THAT(TBytes(buffer, buffer + 3), ElementsAre(tag, 0xAA, 0xBB)) << "round " << int(round);
    const std::string end = "obs:1000:" + test::Hex(&tag, 1);
    ASSERT_TRUE(PumpUntil([&] {
      const auto events = Events();
      return std::find(events.begin(), events.end(), end) != events.end();
    })) << "round " << int(round);
  }
}

TEST_F(LinkTest, AListenerWhoseSocketFailsLeavesAnInactiveEndpoint) {
  auto link = Open();
  TUdpServer* server = link->Server();
  ASSERT_TRUE(server->Active());
  // Put something under the descriptor that is no socket: every receive on it fails.
  const int devnull = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(devnull, 0);
  ASSERT_GE(dup2(devnull, server->SocketHandle()), 0);
  close(devnull);
  const auto deadline = steady_clock::now() + 3s;
  while (server->Active() && steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_FALSE(server->Active());
  const TBytes payload{0x01};
  EXPECT_FALSE(link->SendFrame(0x1A, payload.data(), 1, nullptr, 0, nullptr, 0)); // says so at once
  link.reset(); // and closes without hanging
}

TEST_F(LinkTest, ADeliveryThatThrowsDoesNotLeaveTheListenerWaiting) {
  test::TCaughtExceptions caught;
  int delivered = 0;
  auto link = std::make_unique<TTestLink>(
      StrToIP(QString::fromStdString(fPeerIP), 0),
      [&](TOrvoCommDevice*, uint16_t, const uint8_t* data, uint16_t) {
        ++delivered;
        if (data[0] == 0x01) throw std::runtime_error("handler failed");
      },
      21105, 21105);
  ASSERT_NE(link->Server(), nullptr);
  fPeer.SendTo(fToolIP, Frame(0x10, {0x01}));
  fPeer.SendTo(fToolIP, Frame(0x10, {0x02}));
  EXPECT_TRUE(PumpUntil([&] { return delivered >= 2; }));
  EXPECT_EQ(caught.Count(), 1);
}

} // namespace
} // namespace kavelo
