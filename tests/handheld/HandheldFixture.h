#pragma once

#include "common/FakePlatform.h"
#include "common/ScriptedKaveloLink.h"
#include "common/VirtualClock.h"
#include "handheld/FlashResponder.h"
#include "handheld/Kavelo.h"
#include "net/Helpers.h"

#include <gmock/gmock.h>

#include <QBuffer>

namespace kavelo::test {

// Opens buffer for reading and writing with bytes as its content.
inline QBuffer& FillStream(QBuffer& buffer, const TBytes& bytes) {
  buffer.setData(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                            static_cast<qsizetype>(bytes.size())));
  buffer.open(QIODevice::ReadWrite);
  return buffer;
}

// A connection to a scripted handheld, on a virtual clock, with English texts.
class HandheldTest : public ::testing::Test {
protected:
  HandheldTest() {
    fPlatform->Arp = std::vector<TArpRow>{};
    fKavelo.SetLinkFactory(fDevice->Factory());
    fKavelo.SetProgress([this](const void*, int32_t max, int32_t position) {
      fProgress.emplace_back(max, position);
    });
    SetLanguageBase(2000);
  }
  ~HandheldTest() override { SetLanguageBase(2000); }

  void Connect() { ASSERT_TRUE(fKavelo.Connect("192.168.0.9", 21105)); }
  void AnswerWithFlash() {
    fDevice->Responder = [this](const TBytes& f) { return fFlash(f); };
  }
  std::vector<TBytes> Requests() const { return fDevice->Frames(TSentFrame::Transmit); }
  static QBuffer& Stream(QBuffer& buffer, const TBytes& bytes) { return FillStream(buffer, bytes); }

  std::shared_ptr<TFakePlatform> fPlatform = std::make_shared<TFakePlatform>();
  TScopedPlatform fPlatformScope{fPlatform};
  TScopedVirtualClock fClock;
  std::shared_ptr<TScriptedDevice> fDevice = MakeScriptedDevice(&*fClock);
  TFlashResponder fFlash;
  TKavelo fKavelo;
  std::vector<std::pair<int32_t, int32_t>> fProgress;
};

inline TBytes Pattern(size_t size, uint32_t seed = 1) {
  TBytes bytes(size);
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes[i] = static_cast<uint8_t>(seed >> 16);
  }
  return bytes;
}

} // namespace kavelo::test
