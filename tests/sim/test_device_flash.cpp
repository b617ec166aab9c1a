// Flash commands of the device model: erase, blank check, read, NOR write,
// two-pass verify, and the requests it must leave unanswered.
#include "DeviceFixture.h"

#include <algorithm>

using namespace simtest;
using kavelosim::KaveloDevice;

namespace {

TEST(TestFrames, ReadRequestMatchesKnownBytes) {
  // The tool's first read of a control block, byte for byte.
  EXPECT_EQ(ReadReq(0, 256),
            (Bytes{0x0C, 0x00, 0xB0, 0x00, 0xE5, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x58}));
  EXPECT_EQ(VerifyReq(0, 1, {}).size(), 267u);
  EXPECT_EQ(VerifyReq(0, 1, {})[0], 0x0B);
  EXPECT_EQ(VerifyReq(0, 1, {})[1], 0x01);
}

using FlashTest = DeviceTest;

TEST_F(FlashTest, NewDeviceIsErased) {
  EXPECT_EQ(dev.Flash().size(), 0x80000u);
  EXPECT_TRUE(
      std::all_of(dev.Flash().begin(), dev.Flash().end(), [](uint8_t v) { return v == 0xFF; }));
}

TEST_F(FlashTest, EraseEchoesRequestAndClearsOnlyItsUnit) {
  dev.PresetFlash(0x2FFFF, {0x00, 0x11}); // last byte of unit 2, first of unit 3
  dev.PresetFlash(0x3FFFF, {0x22, 0x33}); // last of unit 3, first of unit 4
  const Bytes req = EraseReq(0x31234);    // any address inside unit 3
  const Bytes reply = One(req);
  EXPECT_EQ(reply, req);
  EXPECT_EQ(reply[0], reply.size());
  EXPECT_EQ(dev.ReadFlash(0x2FFFF, 1), Bytes{0x00});
  EXPECT_EQ(dev.ReadFlash(0x30000, 1), Bytes{0xFF});
  EXPECT_EQ(dev.ReadFlash(0x3FFFF, 1), Bytes{0xFF});
  EXPECT_EQ(dev.ReadFlash(0x40000, 1), Bytes{0x33});
}

TEST_F(FlashTest, BlankCheckNamesFirstPageWithDataOr256) {
  const Bytes empty = One(BlankReq(0x30000));
  ASSERT_EQ(empty.size(), 11u);
  EXPECT_EQ(empty[0], empty.size());
  EXPECT_LT(empty.size(), 256u);
  EXPECT_EQ(HeaderOf(empty), 0x00B0);
  EXPECT_EQ(empty[4], 0xE3);
  EXPECT_EQ(PageOf(empty), 256);

  dev.PresetFlash(0x30000 + 12 * 256 + 7, {0xFE});
  dev.PresetFlash(0x30000 + 40 * 256, {0x00});
  EXPECT_EQ(PageOf(One(BlankReq(0x30000))), 12);
  EXPECT_EQ(PageOf(One(BlankReq(0x3A000))), 12) << "the unit holding the address is checked";

  One(EraseReq(0x30000));
  EXPECT_EQ(PageOf(One(BlankReq(0x30000))), 256);
}

TEST_F(FlashTest, ReadReturnsBytesWithLengthFieldEqualToFrameLength) {
  const Bytes data = Pattern(600);
  dev.PresetFlash(0x3A000, data);
  for (uint16_t n : {uint16_t{1}, uint16_t{88}, uint16_t{256}, uint16_t{501}}) {
    const Bytes r = One(ReadReq(0x3A010, n));
    ASSERT_EQ(r.size(), 11u + n);
    EXPECT_EQ(Le16At(r, 0), r.size());
    EXPECT_EQ(HeaderOf(r), 0x00B0);
    EXPECT_EQ(r[4], 0xE5);
    EXPECT_EQ(Le32At(r, 5), 0x3A010u);
    EXPECT_EQ(Le16At(r, 9), n);
    EXPECT_EQ(Bytes(r.begin() + 11, r.end()), Bytes(data.begin() + 0x10, data.begin() + 0x10 + n));
  }
}

TEST_F(FlashTest, WriteIsNorAndRepliesWithReadBack) {
  const Bytes data{0x12, 0x34, 0xFF, 0x00, 0xA5};
  const Bytes r = One(WriteReq(0x400, data));
  ASSERT_EQ(r.size(), 12u + data.size());
  EXPECT_EQ(Le16At(r, 0), r.size());
  EXPECT_EQ(r[4], 0xE4);
  EXPECT_EQ(Le32At(r, 5), 0x400u);
  EXPECT_EQ(Le16At(r, 9), data.size());
  EXPECT_EQ(r[11], 0x02);
  EXPECT_EQ(Bytes(r.begin() + 12, r.end()), data);

  // Writing again can only clear bits: old AND new.
  const Bytes second{0xF0, 0xFF, 0x0F, 0xFF, 0x5A};
  const Bytes r2 = One(WriteReq(0x400, second));
  const Bytes expect{0x10, 0x34, 0x0F, 0x00, 0x00};
  EXPECT_EQ(Bytes(r2.begin() + 12, r2.end()), expect);
  EXPECT_EQ(dev.ReadFlash(0x400, 5), expect);

  // Only an erase brings the bits back.
  One(EraseReq(0));
  EXPECT_EQ(dev.ReadFlash(0x400, 5), Bytes(5, 0xFF));
}

TEST_F(FlashTest, FullSizeWriteThenReadRoundTrips) {
  const Bytes data = Pattern(256, 3);
  ASSERT_EQ(One(WriteReq(0x10000, data)).size(), 268u);
  const Bytes r = One(ReadReq(0x10000, 256));
  EXPECT_EQ(Bytes(r.begin() + 11, r.end()), data);
}

struct VerifyCase {
  const char* name;
  uint8_t pass;
};

class VerifyTest : public DeviceTest, public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(VerifyTest, MatchingUnitAnswers256AndDifferingUnitItsFirstPage) {
  const uint8_t pass = GetParam().pass;
  Bytes unit = Pattern(0x10000, 9);
  dev.PresetFlash(0x40000, unit);

  Bytes r = One(VerifyReq(0x40000, pass, Signatures(unit, pass)));
  ASSERT_EQ(r.size(), 11u);
  EXPECT_EQ(r[0], r.size());
  EXPECT_EQ(r[4], 0xE2);
  EXPECT_EQ(PageOf(r), 256);

  unit[77 * 256 + 5] ^= 0x01;
  unit[200 * 256] ^= 0x80;
  EXPECT_EQ(PageOf(One(VerifyReq(0x40000, pass, Signatures(unit, pass)))), 77);
}

INSTANTIATE_TEST_SUITE_P(BothPasses, VerifyTest,
                         ::testing::Values(VerifyCase{"xor", 1}, VerifyCase{"sum", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FlashTest, ErasedUnitHasKnownSignatures) {
  std::array<uint8_t, 256> x{}, s{};
  x.fill(0x55); // 0x55 XOR an even number of 0xFF
  s.fill(0xAA); // 0xAA + 256 * 0xFF = 0xAA mod 256
  EXPECT_EQ(PageOf(One(VerifyReq(0x70000, 1, x))), 256);
  EXPECT_EQ(PageOf(One(VerifyReq(0x70000, 2, s))), 256);
}

TEST_F(FlashTest, EachPassSeesWhatTheOtherMisses) {
  Bytes unit(0x10000, 0xFF);
  dev.PresetFlash(0x50000, unit);
  // Page 3: 01 01 -> 00 00 keeps the XOR, changes the sum.
  Bytes a = unit;
  a[3 * 256] = 0x01;
  a[3 * 256 + 1] = 0x01;
  dev.PresetFlash(0x50000 + 3 * 256, {0x00, 0x00});
  EXPECT_EQ(PageOf(One(VerifyReq(0x50000, 1, Signatures(a, 1)))), 256);
  EXPECT_EQ(PageOf(One(VerifyReq(0x50000, 2, Signatures(a, 2)))), 3);
  // Page 9: 01 03 -> 02 02 keeps the sum, changes the XOR.
  a = unit;
  a[3 * 256] = 0x00;
  a[3 * 256 + 1] = 0x00;
  a[9 * 256] = 0x01;
  a[9 * 256 + 1] = 0x03;
  dev.PresetFlash(0x50000 + 9 * 256, {0x02, 0x02});
  EXPECT_EQ(PageOf(One(VerifyReq(0x50000, 1, Signatures(a, 1)))), 9);
  EXPECT_EQ(PageOf(One(VerifyReq(0x50000, 2, Signatures(a, 2)))), 256);
}

// Requests a handheld must not answer: a wrong check byte or a length that
// does not fit the command.
struct BadRequest {
  const char* name;
  Bytes (*make)();
};

Bytes ReadBadXor() {
  Bytes b = ReadReq(0, 16);
  b[11] ^= 0x01;
  return b;
}
Bytes VerifyBadXor() {
  Bytes b = VerifyReq(0, 1, {});
  b[266] ^= 0x40;
  return b;
}
Bytes EraseTooLong() {
  Bytes b = EraseReq(0);
  b.push_back(0);
  b[0] = 10;
  return b;
}
Bytes BlankTooShort() {
  return {0x08, 0x00, 0xB0, 0x00, 0xE3, 0, 0, 0};
}
Bytes ReadTooLong() {
  Bytes b = ReadReq(0, 16);
  b.push_back(0);
  b[0] = 13;
  return b;
}
Bytes WriteCountMismatch() {
  Bytes b = WriteReq(0, Bytes(16, 0));
  b[9] = 17; // says 17 bytes, carries 16
  return b;
}
Bytes WriteLengthFieldMismatch() {
  Bytes b = WriteReq(0, Bytes(16, 0));
  b[0] = 27; // frame claims 27 bytes but holds 28
  return b;
}
Bytes WriteBadModeByte() {
  Bytes b = WriteReq(0, Bytes(4, 0));
  b[11] = 0x03;
  return b;
}
Bytes VerifyTooShort() {
  Bytes b = VerifyReq(0, 1, {});
  b.pop_back();
  b[0] = 0x0A; // 266
  return b;
}
Bytes VerifyBadPass() {
  return VerifyReq(0, 3, {});
}
Bytes ReadBeyondFlash() {
  return ReadReq(0x7FF80, 256);
}
Bytes ReadTooMany() {
  return ReadReq(0, 1024);
}
Bytes EraseBeyondFlash() {
  return EraseReq(0x80000);
}
Bytes UnknownCommand() {
  return {0x09, 0x00, 0xB0, 0x00, 0xE7, 0, 0, 0, 0};
}

class IgnoredRequest : public DeviceTest, public ::testing::WithParamInterface<BadRequest> {};

TEST_P(IgnoredRequest, GetsNoAnswerAndChangesNothing) {
  dev.PresetFlash(0, Bytes(32, 0x5A));
  const Bytes before = dev.Flash();
  EXPECT_TRUE(Send(GetParam().make()).empty());
  EXPECT_EQ(dev.Flash(), before);
  ASSERT_FALSE(dev.Log().empty());
  EXPECT_NE(dev.Log().back().note.find("ignored"), std::string::npos) << dev.Log().back().note;
}

INSTANTIATE_TEST_SUITE_P(
    Table, IgnoredRequest,
    ::testing::Values(
        BadRequest{"ReadBadXor", ReadBadXor}, BadRequest{"VerifyBadXor", VerifyBadXor},
        BadRequest{"EraseTooLong", EraseTooLong}, BadRequest{"BlankTooShort", BlankTooShort},
        BadRequest{"ReadTooLong", ReadTooLong},
        BadRequest{"WriteCountMismatch", WriteCountMismatch},
        BadRequest{"WriteLengthFieldMismatch", WriteLengthFieldMismatch},
        BadRequest{"WriteBadModeByte", WriteBadModeByte},
        BadRequest{"VerifyTooShort", VerifyTooShort}, BadRequest{"VerifyBadPass", VerifyBadPass},
        BadRequest{"ReadBeyondFlash", ReadBeyondFlash}, BadRequest{"ReadTooMany", ReadTooMany},
        BadRequest{"EraseBeyondFlash", EraseBeyondFlash},
        BadRequest{"UnknownCommand", UnknownCommand}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FlashTest, DatagramWithTwoFramesGetsTwoReplies) {
  Bytes d = BlankReq(0);
  const Bytes r = ReadReq(0, 4);
  d.insert(d.end(), r.begin(), r.end());
  const auto replies = dev.HandleDatagram(d.data(), d.size(), kTool);
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].bytes[4], 0xE3);
  EXPECT_EQ(replies[1].bytes[4], 0xE5);
}

TEST_F(FlashTest, RepliesGoBackToTheSender) {
  const auto replies = Send(BlankReq(0));
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].to, kTool);
  EXPECT_EQ(replies[0].delayMs, 0u);
}

} // namespace
