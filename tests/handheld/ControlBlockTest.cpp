// Update-mode entry and the control block.

#include "handheld/HandheldFixture.h"

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;

class UpdateModeTest : public HandheldTest {
protected:
  void SetUp() override { Connect(); }
};

TEST_F(UpdateModeTest, SendsTheToolsAddressAndReturnsTheTraceText) {
  fDevice->Responder = [](const TBytes&) {
    return std::vector<TDeviceReply>{{0x0041, {0x01, 0x02, 0x03, 0x04}}};
  };
  QString err;
  ASSERT_TRUE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, "TX  08 00 41 00 C0 A8 00 05 ... 192.168.0.5");
  EXPECT_THAT(Requests(), ElementsAre(ElementsAre(0x08, 0x00, 0x41, 0x00, 0xC0, 0xA8, 0x00, 0x05)));
}

TEST_F(UpdateModeTest, AFlashReplyIsAcceptedAsWellAndSearchBroadcasts) {
  ASSERT_TRUE(fKavelo.Disconnect());
  ASSERT_TRUE(fKavelo.Search("192.168.0.9", 21105));
  fDevice->LocalIP = "0.0.0.0";
  fDevice->Responder = [](const TBytes&) { return std::vector<TDeviceReply>{{0x00B0, {0xE1}}}; };
  QString err;
  ASSERT_TRUE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, "TX  08 00 41 00 00 00 00 00 ... 0.0.0.0");
  EXPECT_EQ(fDevice->Frames(TSentFrame::Broadcast).size(), 1u);
}

TEST_F(UpdateModeTest, OnlyTheLowByteOfTheReplysLengthIsCompared) {
  fDevice->Responder = [](const TBytes&) {
    return std::vector<TDeviceReply>{{0x0041, TBytes(256, 0x00)}};
  };
  QString err;
  EXPECT_FALSE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, "Invalid packet length (calculated: 260, received: 4)");
  SetLanguageBase(1000);
  EXPECT_FALSE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, QString::fromUtf8("Ungültige Paketlänge"));
}

TEST_F(UpdateModeTest, MissingServerOrBindingIsReportedBeforeSending) {
  QString err;
  fDevice->HasBinding = false;
  EXPECT_FALSE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, "UDP server binding not assigned");
  fDevice->HasServer = false;
  EXPECT_FALSE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, "UDP server not assigned");
  EXPECT_TRUE(fDevice->Sent.empty());
  fDevice->HasServer = true;
  fDevice->HasBinding = true;
  fDevice->SendSucceeds = false;
  EXPECT_FALSE(fKavelo.HMUpdateInit(err));
  EXPECT_EQ(err, "Sending failed");
}

class ControlBlockTest : public HandheldTest {
protected:
  void SetUp() override {
    Connect();
    AnswerWithFlash();
  }
};

TEST_F(ControlBlockTest, AnErasedBlockReadsAsAllOnesWithoutMarkers) {
  TControlBlock block{};
  QString err;
  ASSERT_TRUE(fKavelo.ReadControlBlock(0, block, err));
  EXPECT_TRUE(fKavelo.HasControlBlock());
  const auto* words = reinterpret_cast<const uint32_t*>(&block);
  for (int i = 0; i < 13; ++i) EXPECT_EQ(words[i], 0xFFFFFFFFu) << i;
  EXPECT_THAT(Requests(), ElementsAre(ElementsAre(0x0C, 0x00, 0xB0, 0x00, 0xE5, 0x00, 0x00, 0x00,
                                                  0x00, 0x00, 0x01, 0x58)));
}

TEST_F(ControlBlockTest, WriteThenReadGivesTheSame256Bytes) {
  TControlBlock written{};
  written.Valid0 = written.Valid2 = written.Valid4 = kMarkerVUNA;
  written.Valid1 = written.Valid3 = written.Valid5 = kMarkerANUV;
  written.NewFirmwareHM = 0x109;
  written.OldFirmwareHM = kNoVersion;
  written.NewFirmwareRM = 0x105;
  written.OldFirmwareRM = 0x104;
  written.NewHMResources = written.OldHMResources = 0x112;
  written.ResourceAddress = 0x3A000;
  for (int i = 0; i < 204; ++i) written.Dummy[i] = static_cast<uint8_t>(i);
  QString err;
  ASSERT_TRUE(fKavelo.WriteControlBlock(0, written, err)) << err.toStdString();
  EXPECT_FALSE(fKavelo.HasControlBlock()); // only a read raises it
  TControlBlock read{};
  ASSERT_TRUE(fKavelo.ReadControlBlock(0, read, err));
  EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);
  // Stored exactly as it lies in memory: the markers read VUNA / ANUV.
  EXPECT_THAT(TBytes(fFlash.Flash.begin(), fFlash.Flash.begin() + 16),
              ElementsAre('V', 'U', 'N', 'A', 0x09, 0x01, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 'A', 'N', 'U', 'V'));
  EXPECT_EQ(ReadLE32(fFlash.Flash.data() + 44), 0x3A000u);
  const auto write = Requests().front();
  EXPECT_EQ(write.size(), 268u);
  EXPECT_EQ(ReadLE16(write.data()), 268);
}

TEST_F(ControlBlockTest, AFailedReadLeavesTheBlockAndTheFlagAlone) {
  TControlBlock block{};
  block.NewFirmwareHM = 0x1234;
  fDevice->Responder = nullptr;
  QString err;
  EXPECT_FALSE(fKavelo.ReadControlBlock(0, block, err));
  EXPECT_EQ(err, "Nothing received");
  EXPECT_EQ(block.NewFirmwareHM, 0x1234u);
  EXPECT_FALSE(fKavelo.HasControlBlock());
}

TEST_F(ControlBlockTest, HasControlBlockStaysUntilDisconnect) {
  TControlBlock block{};
  QString err;
  ASSERT_TRUE(fKavelo.ReadControlBlock(0, block, err));
  fDevice->Responder = nullptr;
  EXPECT_FALSE(fKavelo.ReadControlBlock(0, block, err));
  EXPECT_TRUE(fKavelo.HasControlBlock());
  fKavelo.Disconnect();
  EXPECT_FALSE(fKavelo.HasControlBlock());
}

} // namespace
} // namespace kavelo::test
