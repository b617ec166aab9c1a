#pragma once
// A link toward a scripted command station on its own loopback pair: the station records every
// datagram and answers the k-th request with the k-th scripted answer.

#include "common/FakePlatform.h"
#include "common/HexBytes.h"
#include "common/LoopbackPair.h"
#include "common/ScriptedPeer.h"
#include "net/OrvoCommDevice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace kavelo::test {

class TStationLinkTest : public ::testing::Test {
protected:
  const std::string fPrefix = LoopbackPrefixForCurrentTest();
  std::shared_ptr<TFakePlatform> fPlatform = LoopbackPairPlatform(fPrefix);
  TScopedPlatform fScope{fPlatform};
  TScriptedPeer fPeer{fPrefix + ".2"};

  std::unique_ptr<TOrvoCommDevice> Open(TDataReceivedEvent callback = nullptr) {
    EXPECT_TRUE(fPeer.Bound());
    auto link = std::make_unique<TOrvoCommDevice>(StrToIP(QString::fromStdString(fPrefix + ".2"), 0),
                                                  std::move(callback), 21105, 21105);
    EXPECT_NE(link->Server(), nullptr);
    return link;
  }
  void Script(std::vector<std::vector<TScriptedReply>> answers) {
    auto next = std::make_shared<std::atomic<size_t>>(0);
    fPeer.SetResponder([answers = std::move(answers), next](const TBytes&) {
      const size_t k = (*next)++;
      return k < answers.size() ? answers[k] : std::vector<TScriptedReply>{};
    });
  }
  // The station received exactly these datagrams, in this order.
  void ExpectSent(const std::vector<TBytes>& sent) {
    std::vector<std::string> expected;
    for (const auto& d : sent) expected.push_back(Hex(d));
    EXPECT_EQ(ReceivedHex(sent.size()), expected);
  }
  std::vector<std::string> ReceivedHex(size_t expected) {
    fPeer.WaitForReceived(expected, 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a frame beyond them would show too
    std::vector<std::string> out;
    for (const auto& d : fPeer.Received()) out.push_back(Hex(d));
    return out;
  }
};

} // namespace kavelo::test
