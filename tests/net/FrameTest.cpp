#include "net/Frame.h"

#include <gmock/gmock.h>

#include <string>

namespace kavelo {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

struct WalkedFrame {
  uint16_t DataLen;
  uint16_t Header;
  std::vector<uint8_t> Payload;
  bool operator==(const WalkedFrame&) const = default;
};

std::vector<WalkedFrame> Walk(const std::vector<uint8_t>& datagram) {
  std::vector<WalkedFrame> frames;
  WalkDatagram(datagram.data(), datagram.size(), [&](const TFrameView& f) {
    frames.push_back({f.DataLen, f.Header, {f.Payload, f.Payload + f.PayloadSize}});
  });
  return frames;
}

struct WalkCase {
  std::string Name;
  std::vector<uint8_t> Datagram;
  std::vector<WalkedFrame> Expected;
};

class DatagramWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(DatagramWalk, YieldsTheFramesInOrderAndStopsAtABadLength) {
  EXPECT_EQ(Walk(GetParam().Datagram), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DatagramWalk,
    ::testing::Values(
        WalkCase{"TwoFrames", {0x04, 0x00, 0x10, 0x00, 0x05, 0x00, 0x20, 0x00, 0x07},
                 {{4, 0x10, {}}, {5, 0x20, {0x07}}}},
        WalkCase{"OneFrame", {0x08, 0x00, 0x1A, 0x00, 0x01, 0x02, 0x03, 0x04},
                 {{8, 0x1A, {1, 2, 3, 4}}}},
        WalkCase{"HighHeader", {0x05, 0x00, 0x12, 0x01, 0xAA}, {{5, 0x0112, {0xAA}}}},
        WalkCase{"DataLenZeroEndsTheWalk", {0x00, 0x00, 0x10, 0x00, 0x04, 0x00, 0x10, 0x00}, {}},
        WalkCase{"DataLenThreeAfterAGoodFrame",
                 {0x04, 0x00, 0x10, 0x00, 0x03, 0x00, 0x20, 0x00}, {{4, 0x10, {}}}},
        WalkCase{"DataLenPastTheEnd", {0x04, 0x00, 0x31, 0x00, 0x09, 0x00, 0xB0, 0x00, 0xE1},
                 {{4, 0x31, {}}}},
        WalkCase{"TrailingBytesShorterThanAHead", {0x04, 0x00, 0x31, 0x00, 0x04, 0x00},
                 {{4, 0x31, {}}}},
        WalkCase{"LoneByte", {0x04}, {}},
        WalkCase{"MaximalLength", {0xFF, 0xFF, 0x10, 0x00}, {}}),
    [](const auto& info) { return info.param.Name; });

TEST(DatagramWalk, EmptyDatagramDeliversNothing) {
  EXPECT_EQ(WalkDatagram(nullptr, 0, [](const TFrameView&) { FAIL(); }), 0u);
}

TEST(Frame, BuildWritesLengthHeaderAndPayload) {
  const uint8_t payload[] = {0x12};
  EXPECT_THAT(BuildFrame(0x0010, payload, 1), ElementsAre(0x05, 0x00, 0x10, 0x00, 0x12));
  EXPECT_THAT(BuildFrame(0x0031, nullptr, 0), ElementsAre(0x04, 0x00, 0x31, 0x00));
  const std::vector<uint8_t> big(300, 0xAB);
  const auto frame = BuildFrame(0x00B0, big.data(), big.size());
  ASSERT_EQ(frame.size(), 304u);
  EXPECT_EQ(ReadLE16(frame.data()), 304);
  EXPECT_EQ(ReadLE16(frame.data() + 2), 0x00B0);
}

TEST(TunnelMessage, AppendsTheXorOfHeaderAndData) {
  EXPECT_THAT(BuildTunnelMessage(std::vector<uint8_t>{0x21, 0x80}), ElementsAre(0x21, 0x80, 0xA1));
  EXPECT_THAT(BuildTunnelMessage(std::vector<uint8_t>{0xD1, 0x0B}), ElementsAre(0xD1, 0x0B, 0xDA));
  // Only n + 1 bytes are taken, whatever follows.
  EXPECT_THAT(BuildTunnelMessage(std::vector<uint8_t>{0x21, 0x80, 0x55}),
              ElementsAre(0x21, 0x80, 0xA1));
  EXPECT_THAT(BuildTunnelMessage(std::vector<uint8_t>{0x20}), ElementsAre(0x20, 0x20));
}

TEST(TunnelMessage, RefusesAMessageShorterThanItsHeaderSays) {
  EXPECT_TRUE(BuildTunnelMessage(std::vector<uint8_t>{0x23, 0x01}).empty());
  EXPECT_TRUE(BuildTunnelMessage(std::vector<uint8_t>{}).empty());
}

TEST(ResultFrame, GivesTheCodeOfAFiveByteFrameOnly) {
  const uint8_t good[] = {0x05, 0x00, 0x20, 0x00, 0x07};
  const uint8_t longer[] = {0x06, 0x00, 0x20, 0x00, 0x07, 0x00};
  const uint8_t wrongHigh[] = {0x05, 0x01, 0x20, 0x00, 0x07};
  EXPECT_EQ(ResultCodeOf(good, sizeof good), 7);
  EXPECT_EQ(ResultCodeOf(longer, sizeof longer), -1);
  EXPECT_EQ(ResultCodeOf(wrongHigh, sizeof wrongHigh), -1);
  EXPECT_EQ(ResultCodeOf(good, 4), -1);
}

} // namespace
} // namespace kavelo
