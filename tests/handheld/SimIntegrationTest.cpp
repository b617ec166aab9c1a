// The connection over real UDP against the simulated handheld on loopback.

#include "KaveloSimulator.h"
#include "common/LoopbackSimulator.h"
#include "common/FakePlatform.h"
#include "common/FastSettleWaiter.h"
#include "common/LoopbackPair.h"
#include "handheld/HandheldFixture.h"

#include <QElapsedTimer>

namespace kavelo::test {
namespace {

struct ImageCase {
  const char* Name;
  uint32_t Address;
  size_t Size;
};

class SimIntegration : public ::testing::Test {
protected:
  void SetUp() override {
    std::string error;
    fSim = StartLoopbackSimulator(fPrefix + ".2", &error);
    ASSERT_TRUE(fSim) << error;
    SetLanguageBase(2000);
    ASSERT_TRUE(fKavelo.Connect(QString::fromStdString(fPrefix + ".2"), 21105));
  }
  void EnterUpdateMode() {
    QString err;
    ASSERT_TRUE(fKavelo.HMUpdateInit(err)) << err.toStdString();
    EXPECT_EQ(err.toStdString(), "TX  08 00 41 00 7F " + Hex(fPrefix) + " 01 ... " + fPrefix + ".1");
  }
  static std::string Hex(const std::string& prefix) {
    // "127.A.B" -> "XX YY" for the trace text
    const auto first = prefix.find('.', 4);
    char text[8];
    std::snprintf(text, sizeof text, "%02X %02X", std::stoi(prefix.substr(4, first - 4)),
                  std::stoi(prefix.substr(first + 1)));
    return text;
  }
  static QBuffer& Stream(QBuffer& buffer, const TBytes& bytes) { return FillStream(buffer, bytes); }

  const std::string fPrefix = LoopbackPrefixForCurrentTest();
  std::shared_ptr<TFakePlatform> fPlatform = LoopbackPairPlatform(fPrefix);
  TScopedPlatform fPlatformScope{fPlatform};
  std::shared_ptr<TFastSettleWaiter> fWaiter = std::make_shared<TFastSettleWaiter>();
  TScopedWaiter fWaiterScope{fWaiter};
  std::unique_ptr<kavelosim::KaveloSimulator> fSim;
  TKavelo fKavelo;
};

class ImageRanges : public SimIntegration, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(ImageRanges, EraseWriteVerifyAndReadBackEqual) {
  EnterUpdateMode();
  const auto& c = GetParam();
  const TBytes image = Pattern(c.Size, c.Address + 7);
  QString err;
  ASSERT_TRUE(fKavelo.EraseFlash(c.Address, c.Address + static_cast<uint32_t>(c.Size), err)) << err.toStdString();
  QBuffer in;
  ASSERT_TRUE(fKavelo.WriteFlash(c.Address, c.Address + static_cast<uint32_t>(c.Size), 256, Stream(in, image), err))
      << err.toStdString();
  QBuffer again;
  ASSERT_TRUE(fKavelo.VerifyFlash(c.Address, c.Address + static_cast<uint32_t>(c.Size), 256, Stream(again, image), err))
      << err.toStdString();
  QBuffer out;
  out.open(QIODevice::ReadWrite);
  ASSERT_TRUE(fKavelo.ReadFlash(c.Address, c.Address + static_cast<uint32_t>(c.Size), 256, out, err));
  EXPECT_TRUE(out.data() == QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size())));
  EXPECT_EQ(fSim->ReadFlash(c.Address, c.Size), image);
}

INSTANTIATE_TEST_SUITE_P(Images, ImageRanges,
                         ::testing::Values(ImageCase{"Firmware", 0x400, 49056},
                                           ImageCase{"RadioModule", 0x400, 232820},
                                           ImageCase{"Languages", 0x3A000, 21620},
                                           ImageCase{"PersistentData", 0x40000, 261636}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(SimIntegration, ControlBlockRoundTrip) {
  EnterUpdateMode();
  QString err;
  ASSERT_TRUE(fKavelo.EraseFlash(0, 0x100, err));
  TControlBlock block{};
  block.Valid0 = block.Valid2 = block.Valid4 = kMarkerVUNA;
  block.Valid1 = block.Valid3 = block.Valid5 = kMarkerANUV;
  block.NewFirmwareHM = 0x109;
  block.OldFirmwareHM = kNoVersion;
  block.NewFirmwareRM = block.OldFirmwareRM = 0x104;
  block.NewHMResources = block.OldHMResources = 0x112;
  block.ResourceAddress = 0x3A000;
  ASSERT_TRUE(fKavelo.WriteControlBlock(0, block, err)) << err.toStdString();
  TControlBlock read{};
  ASSERT_TRUE(fKavelo.ReadControlBlock(0, read, err));
  EXPECT_EQ(std::memcmp(&read, &block, sizeof block), 0);
  const auto simBlock = fSim->GetControlBlock();
  EXPECT_EQ(simBlock.newFirmwareHM, 0x109u);
  EXPECT_EQ(simBlock.resourceAddress, 0x3A000u);
}

TEST_F(SimIntegration, ASilentHandheldGivesNothingReceivedAfterFiveTries) {
  EnterUpdateMode();
  kavelosim::FaultRules rules;
  rules.lose.push_back(kavelosim::ReplySelector::All(kavelosim::Command::Read));
  fSim->SetFaults(rules);
  QBuffer out;
  out.open(QIODevice::ReadWrite);
  QString err;
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(fKavelo.ReadFlash(0, 256, 256, out, err));
  EXPECT_EQ(err, "Nothing received");
  EXPECT_GE(clock.elapsed(), 5 * 200);
  size_t reads = 0;
  for (const auto& entry : fSim->Log())
    if (entry.kind == kavelosim::LogEntry::Kind::Received && entry.bytes.size() >= 5 &&
        entry.bytes[2] == 0xB0 && entry.bytes[4] == 0xE5)
      ++reads;
  EXPECT_EQ(reads, 5u);
}

TEST_F(SimIntegration, ACorruptedReadBackGivesMemoryDiffers) {
  EnterUpdateMode();
  QString err;
  ASSERT_TRUE(fKavelo.EraseFlash(0x10000, 0x10100, err));
  kavelosim::FaultRules rules;
  rules.corruptReadback.push_back(kavelosim::ReplySelector::Nth(kavelosim::Command::Write, 1));
  fSim->SetFaults(rules);
  QBuffer in;
  EXPECT_FALSE(fKavelo.WriteFlash(0x10000, 0x10100, 256, Stream(in, Pattern(256)), err));
  EXPECT_EQ(err, "Memory differs");
}

TEST_F(SimIntegration, APageThatWillNotEraseGivesDataFound) {
  EnterUpdateMode();
  kavelosim::FaultRules rules;
  rules.stuckBytes.push_back(0x20000 + 12 * 256 + 5);
  fSim->SetFaults(rules);
  QString err;
  EXPECT_FALSE(fKavelo.EraseFlash(0x20000, 0x30000, err));
  EXPECT_EQ(err, "Data found (page number: 12)");
}

TEST_F(SimIntegration, FlashCommandsOutsideUpdateModeStayUnanswered) {
  QBuffer out;
  out.open(QIODevice::ReadWrite);
  QString err;
  EXPECT_FALSE(fKavelo.ReadFlash(0, 16, 16, out, err));
  EXPECT_EQ(err, "Nothing received");
}

TEST_F(SimIntegration, TheRealSettleDelayOfAnEraseTakesItsTime) {
  TScopedWaiter real(nullptr);
  EnterUpdateMode();
  QString err;
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(fKavelo.EraseFlash(0x30000, 0x3FFFF, err)) << err.toStdString();
  EXPECT_GE(clock.elapsed(), 2 * 2000);
  EXPECT_LT(clock.elapsed(), 2 * 2000 + 1500);
}

} // namespace
} // namespace kavelo::test
