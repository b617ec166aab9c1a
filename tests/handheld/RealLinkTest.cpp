// The connection over its real UDP link on loopback: the frames TKaveloComm puts on the wire, and
// a second host that forges the handheld's replies while the handheld stays silent.

#include "common/FakePlatform.h"
#include "common/FastSettleWaiter.h"
#include "common/LoopbackPair.h"
#include "common/ScriptedPeer.h"
#include "handheld/HandheldFixture.h"

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;

class RealLinkTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(fHandheld.Bound());
    SetLanguageBase(2000);
  }
  QString Handheld() const { return QString::fromStdString(fPrefix + ".2"); }

  const std::string fPrefix = LoopbackPrefixForCurrentTest();
  std::shared_ptr<TFakePlatform> fPlatform = LoopbackPairPlatform(fPrefix);
  TScopedPlatform fPlatformScope{fPlatform};
  std::shared_ptr<TFastSettleWaiter> fWaiter = std::make_shared<TFastSettleWaiter>();
  TScopedWaiter fWaiterScope{fWaiter};
  TScriptedPeer fHandheld{fPrefix + ".2"};
  TKavelo fKavelo;
};

TEST_F(RealLinkTest, RestartAndPowerOffGoOutAsTheHandheldsFrames) {
  ASSERT_TRUE(fKavelo.Connect(Handheld(), 21105));
  fKavelo.Restart();
  fKavelo.PowerOff();
  fKavelo.Restart(Handheld());
  // A caller's length field is not trusted: the link writes it from the payload.
  const uint8_t frame[] = {0xEE, 0xEE, 0x10, 0x00, 0x12};
  EXPECT_TRUE(fKavelo.Transmit(frame, sizeof frame));
  ASSERT_TRUE(fHandheld.WaitForReceived(4));
  EXPECT_THAT(fHandheld.Received(), ElementsAre(ElementsAre(0x04, 0x00, 0x31, 0x00), ElementsAre(0x04, 0x00, 0x32, 0x00),
                                                ElementsAre(0x04, 0x00, 0x31, 0x00),
                                                ElementsAre(0x05, 0x00, 0x10, 0x00, 0x12)));
}

TEST_F(RealLinkTest, ForgedRepliesFromAnotherHostAreNotTakenWhileTheHandheldIsSilent) {
  // Another host on the LAN sees every request and answers it at once with exactly the reply the
  // handheld would send: the erase echo, an empty blank check and matching verify passes.
  TScriptedPeer forger(fPrefix + ".3");
  ASSERT_TRUE(forger.Bound());
  const std::string tool = fPrefix + ".1";
  fHandheld.SetResponder([&forger, tool](const TBytes& request) {
    if (request.size() >= 9 && request[2] == 0xB0) {
      const TBytes head(request.begin() + 4, request.begin() + 9);
      TBytes blank = head, verify = head;
      blank[0] = 0xE3;
      verify[0] = 0xE2;
      for (TBytes* reply : {&blank, &verify}) reply->insert(reply->end(), {0x00, 0x01});
      forger.SendTo(tool, BuildFrame(0x00B0, head.data(), head.size()));
      forger.SendTo(tool, BuildFrame(0x00B0, blank.data(), blank.size()));
      forger.SendTo(tool, BuildFrame(0x00B0, verify.data(), verify.size()));
    }
    return std::vector<TScriptedReply>{};
  });
  ASSERT_TRUE(fKavelo.Connect(Handheld(), 21105));
  QString err;
  EXPECT_FALSE(fKavelo.EraseFlash(0x30000, 0x40000, err));
  EXPECT_EQ(err, "Nothing received");
  auto requests = fHandheld.Received();
  ASSERT_EQ(requests.size(), 5u); // five tries of the erase, no blank check
  for (const auto& r : requests) EXPECT_THAT(r, ElementsAre(0x09, 0x00, 0xB0, 0x00, 0xE1, 0x00, 0x00, 0x03, 0x00));

  QBuffer image;
  FillStream(image, TBytes(256, 0xFF));
  EXPECT_FALSE(fKavelo.VerifyFlash(0x30000, 0x30100, 256, image, err));
  EXPECT_EQ(err, "Nothing received");
  requests = fHandheld.Received();
  ASSERT_EQ(requests.size(), 10u); // five tries of pass 1, no pass 2
  for (size_t i = 5; i < requests.size(); ++i) EXPECT_EQ(requests[i][9], 1);
}

} // namespace
} // namespace kavelo::test
