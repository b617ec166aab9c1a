#pragma once
// The link over real UDP on loopback, against a scripted peer: the fixture of the link tests.

#include "common/FakePlatform.h"
#include "common/LoopbackPair.h"
#include "common/ScriptedPeer.h"
#include "net/OrvoCommDevice.h"

#include <gmock/gmock.h>

#include <QString>

namespace kavelo::test {



class TTestLink : public TOrvoCommDevice {
public:
  using TOrvoCommDevice::TOrvoCommDevice;
  using TOrvoCommDevice::WantedReceiveHeader;
};

inline TBytes Frame(uint16_t header, TBytes payload = {}) {
  return BuildFrame(header, payload.data(), payload.size());
}

inline std::string Hex(const uint8_t* p, size_t n) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

class LinkTest : public ::testing::Test, public IOrvoObserver {
protected:
  const std::string fPrefix = LoopbackPrefixForCurrentTest();
  const std::string fToolIP = fPrefix + ".1";
  const std::string fPeerIP = fPrefix + ".2";
  std::shared_ptr<TFakePlatform> fPlatform = LoopbackPairPlatform(fPrefix);
  TScopedPlatform fScope{fPlatform};
  TScriptedPeer fPeer{fPeerIP};
  std::mutex fMutex;
  std::vector<std::string> fEvents; // "cb:<header>:<payload>" and "obs:<header>:<payload>"
  std::vector<std::string> fPeerIPsSeen;

  void FrameReceived(uint16_t header, const uint8_t* data, uint16_t size) override {
    Record("obs", header, data, size);
  }
  void Record(const char* who, uint16_t header, const uint8_t* data, uint16_t size) {
    std::lock_guard lock(fMutex);
    fEvents.push_back(std::string(who) + ":" + Hex(reinterpret_cast<const uint8_t*>(&header), 2) +
                      ":" + Hex(data, size));
  }
  std::vector<std::string> Events() {
    std::lock_guard lock(fMutex);
    return fEvents;
  }
  std::unique_ptr<TTestLink> Open(bool withCallback = true) {
    EXPECT_TRUE(fPeer.Bound());
    TDataReceivedEvent callback;
    if (withCallback)
      callback = [this](TOrvoCommDevice* sender, uint16_t header, const uint8_t* data,
                        uint16_t size) {
        Record("cb", header, data, size);
        std::lock_guard lock(fMutex);
        fPeerIPsSeen.push_back(sender->Server()->Binding()->PeerIP.toStdString());
      };
    auto link = std::make_unique<TTestLink>(StrToIP(QString::fromStdString(fPeerIP), 0),
                                            callback, 21105, 21105);
    EXPECT_NE(link->Server(), nullptr);
    if (link->Server()) link->RegisterObserver(this);
    return link;
  }
  // Sends an unsolicited frame and waits, without processing events, until the listener has
  // handed it to this thread and is left waiting there.
  bool SendAndLeaveAHandOverPending(TUdpServer& server) {
    fPeer.SendTo(fToolIP, Frame(0x10, {0x01}));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (server.PendingHandOvers() == 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return server.PendingHandOvers() == 1;
  }
  void Reply(std::function<TBytes(const TBytes&)> make, int delayMs = 0) {
    fPeer.SetResponder([make, delayMs](const TBytes& got) {
      return std::vector<TScriptedReply>{{make(got), delayMs}};
    });
  }
};

} // namespace kavelo::test
