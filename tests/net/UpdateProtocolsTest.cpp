// The two update protocols behind a command station, over real UDP on loopback against a
// scripted station: the handheld boot loader through the tunnel, and the decoder update through
// caller-built frames with a result byte.

#include "common/FakePlatform.h"
#include "common/LoopbackPair.h"
#include "common/HexBytes.h"
#include "net/StationLinkFixture.h"
#include "common/ScriptedPeer.h"
#include "net/OrvoCommDevice.h"

#include <QString>
#include <cstdio>
#include <gmock/gmock.h>
#include <sstream>

namespace kavelo {
namespace {

using namespace std::chrono;
using test::TBytes;
using test::Frame;
using test::H;
using test::Hex;
using test::TScriptedPeer;
using test::TScriptedReply;

// The tunnel's data frame follows its acknowledgement after this delay, as a device's would:
// the link takes the data only once it has taken the acknowledgement and waits again.
constexpr int kTunnelDataDelayMs = 50;

// A tunnel request as it goes out: the message and its XOR byte in a header-0x41 frame.
TBytes Tunnel(const char* message) {
  TBytes m = H(message);
  m.push_back(XorOf(m.data(), m.size()));
  return Frame(0x41, m);
}

using TAnswer = std::vector<TScriptedReply>;
TAnswer Ack() {
  return {{Frame(0x41, {0x00, 0x00}), 0}};
}
TAnswer BadAck() {
  return {{Frame(0x41, {0x00, 0x01}), 0}};
}
TAnswer AckAndData(const char* reply) {
  return {{Frame(0x41, {0x00, 0x00}), 0}, {Frame(0x41, H(reply)), kTunnelDataDelayMs}};
}
TAnswer Result(uint8_t code) {
  return {{Frame(0x20, {code}), 0}};
}
TAnswer MalformedResult() {
  return {{Frame(0x20, {0x01, 0x02}), 0}};
}

struct TOutcome {
  int64_t Result = 0;
  TBytes Values; // what the operation stored for the caller
  bool operator==(const TOutcome&) const = default;
};

void PrintTo(const TOutcome& o, std::ostream* os) {
  *os << "{result " << o.Result << ", values " << Hex(o.Values) << "}";
}

using TCall = std::function<TOutcome(TOrvoCommDevice&)>;

struct TCase {
  std::string Name;
  TCall Call;
  std::vector<TBytes> Sent;
  std::vector<TAnswer> Answers; // to the first, second ... datagram
  TOutcome Expected;
};

void PrintTo(const TCase& c, std::ostream* os) {
  *os << c.Name;
}

template <class F> TCall R(F f) {
  return [f](TOrvoCommDevice& d) { return TOutcome{static_cast<int64_t>(f(d)), {}}; };
}

class UpdateProtocolLinkTest : public test::TStationLinkTest {};

class UpdateProtocolTableTest : public UpdateProtocolLinkTest,
                                public ::testing::WithParamInterface<TCase> {};

TEST_P(UpdateProtocolTableTest, SendsItsFramesAndJudgesTheReplies) {
  const TCase& c = GetParam();
  auto link = Open();
  ASSERT_NE(link->Server(), nullptr);
  Script(c.Answers);
  const TOutcome outcome = c.Call(*link);
  ExpectSent(c.Sent);
  EXPECT_EQ(outcome, c.Expected);
}

// ---- the handheld boot loader ----

TCall VersionInfo() {
  return [](TOrvoCommDevice& d) {
    uint8_t version = 0xCC, sub = 0xCC;
    uint16_t software = 0xCCCC;
    const bool ok = d.HMU_GetVersionInfo(version, sub, software);
    return TOutcome{
        ok, {version, sub, static_cast<uint8_t>(software >> 8), static_cast<uint8_t>(software)}};
  };
}

TCall SendData(int32_t size) {
  return R([size](TOrvoCommDevice& d) {
    TBytes data(20);
    for (size_t i = 0; i < data.size(); ++i)
      data[i] = static_cast<uint8_t>(i + 1);
    return d.HMU_SendData(data.data(), size);
  });
}

TCall WriteBlock(uint8_t segment, uint8_t fill) {
  return R([segment, fill](TOrvoCommDevice& d) {
    const TBytes block(128, fill);
    return d.HMU_WriteBlock(segment, block.data());
  });
}

// The ten pieces of an encoded block followed by the write command.
std::vector<TBytes> BlockFrames(const char* first, const char* middle, const char* last,
                                const char* write) {
  std::vector<TBytes> frames{Tunnel("D1 D1"), H(first)};
  for (int i = 0; i < 8; ++i)
    frames.push_back(H(middle));
  frames.push_back(H(last));
  frames.push_back(Tunnel(write));
  return frames;
}

std::vector<TAnswer> BlockAnswers(size_t acks, TAnswer write) {
  std::vector<TAnswer> answers{AckAndData("D1 D1 00")};
  for (size_t i = 0; i < acks; ++i)
    answers.push_back(Ack());
  answers.push_back(std::move(write));
  return answers;
}

std::vector<TCase> HmuRows() {
  // clang-format off
  const char* zeroFirst = "15 00 41 00 DF D2 00 FF FF FF FF FF FF FF FF FF FF FF FF FF F2";
  const char* onesPiece = "15 00 41 00 DF D2 FF FF FF FF FF FF FF FF FF FF FF FF FF FF 0D";
  const char* onesLast = "09 00 41 00 D3 D2 FF FF 01";
  std::vector<TBytes> zeroBlock = BlockFrames(zeroFirst, onesPiece, onesLast, "D3 D3 02 00");
  std::vector<TBytes> firstThree(zeroBlock.begin(), zeroBlock.begin() + 4);

  return {
      {"HMU_EnterTestMode", R([](auto& d) { return d.HMU_EnterTestMode(); }), {H("08 00 41 00 D2 01 00 D3")}, {AckAndData("D2 01 00")}, {1, {}}},
      {"HMU_EnterTestMode_WrongEcho", R([](auto& d) { return d.HMU_EnterTestMode(); }), {Tunnel("D2 01 00")}, {AckAndData("D2 00 00")}, {0, {}}},
      {"HMU_EnterTestMode_WrongKind", R([](auto& d) { return d.HMU_EnterTestMode(); }), {Tunnel("D2 01 00")}, {AckAndData("E2 01 00")}, {0, {}}},
      {"HMU_EnterTestMode_ReplyTooShort", R([](auto& d) { return d.HMU_EnterTestMode(); }), {Tunnel("D2 01 00")}, {AckAndData("D2 01")}, {0, {}}},
      {"HMU_EnterTestMode_BadAcknowledgement", R([](auto& d) { return d.HMU_EnterTestMode(); }), {Tunnel("D2 01 00")}, {BadAck()}, {0, {}}},
      {"HMU_ExitTestMode", R([](auto& d) { return d.HMU_ExitTestMode(); }), {H("08 00 41 00 D2 00 00 D2")}, {AckAndData("D2 00 00")}, {1, {}}},
      {"HMU_GetVersionInfo", VersionInfo(), {H("07 00 41 00 D1 0B DA")}, {AckAndData("D3 0B 03 06 01 2C")}, {1, {3, 6, 0x01, 0x2C}}},
      {"HMU_GetVersionInfo_WrongEchoGivesZeros", VersionInfo(), {Tunnel("D1 0B")}, {AckAndData("D3 0C 03 06 01 2C")}, {0, {0, 0, 0, 0}}},
      {"HMU_GetVersionInfo_TooShortForTheFieldsGivesZeros", VersionInfo(), {Tunnel("D1 0B")}, {AckAndData("D1 0B 03")}, {0, {0, 0, 0, 0}}},
      {"HMU_EnterBootMode", R([](auto& d) { return d.HMU_EnterBootMode(); }), {H("07 00 41 00 D1 D0 01")}, {AckAndData("D1 D0 00")}, {1, {}}},
      {"HMU_InitData", R([](auto& d) { return d.HMU_InitData(); }), {H("07 00 41 00 D1 D1 00")}, {AckAndData("D1 D1 00")}, {1, {}}},
      {"HMU_ExitBootMode", R([](auto& d) { return d.HMU_ExitBootMode(); }), {H("07 00 41 00 D1 D4 05")}, {AckAndData("D1 D4 00")}, {1, {}}},
      {"HMU_ExitBootMode_WrongEcho", R([](auto& d) { return d.HMU_ExitBootMode(); }), {Tunnel("D1 D4")}, {AckAndData("D1 D0 00")}, {0, {}}},
      {"HMU_ResetIntoBootMode_ReplyNotJudged", R([](auto& d) { return d.HMU_ResetIntoBootMode(); }), {H("07 00 41 00 D1 DD 0C")}, {BadAck()}, {1, {}}},
      {"HMU_WriteData", R([](auto& d) { return d.HMU_WriteData(5, 0x7E); }), {H("09 00 41 00 D3 D3 05 7E 7B")}, {AckAndData("D3 D3 00")}, {1, {}}},
      {"HMU_SendData_20Bytes", SendData(20), {H("15 00 41 00 DF D2 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 02")}, {Ack()}, {14, {}}},
      {"HMU_SendData_2Bytes", SendData(2), {H("09 00 41 00 D3 D2 01 02 02")}, {Ack()}, {2, {}}},
      {"HMU_SendData_BadAcknowledgement", SendData(2), {Tunnel("D3 D2 01 02")}, {BadAck()}, {-1, {}}},
      {"HMU_SendData_RefusesAMissingBuffer", R([](auto& d) { return d.HMU_SendData(nullptr, 2); }), {}, {}, {-1, {}}},
      {"HMU_SendData_RefusesANegativeSize", SendData(-1), {}, {}, {-1, {}}},
      {"HMU_Release", R([](auto& d) { return d.HMU_Release(); }), {H("04 00 41 00")}, {Ack()}, {1, {}}},
      {"HMU_Release_BadAcknowledgement", R([](auto& d) { return d.HMU_Release(); }), {H("04 00 41 00")}, {BadAck()}, {0, {}}},
      {"HMU_ResetCPU_WithoutWaiting", R([](auto& d) { return d.HMU_ResetCPU(false); }), {H("07 00 41 00 D1 09 D8")}, {BadAck()}, {1, {}}},
      {"HMU_ResetCPU_PollsUntilTheBootLoaderAnswers", R([](auto& d) { return d.HMU_ResetCPU(true); }),
       {Tunnel("D1 09"), Tunnel("D1 0B"), Tunnel("D1 0B"), Tunnel("D1 0B")},
       {AckAndData("D1 09 00"), BadAck(), AckAndData("D1 0C 00"), AckAndData("D3 0B 03 06 01 2C")}, {1, {}}},
      // 00 then 127 bytes FF, checksum 00; all FF gives 128 bytes FF, checksum 00.
      {"HMU_WriteBlock_AllZero", WriteBlock(2, 0x00), zeroBlock, BlockAnswers(10, AckAndData("D3 D3 00")), {128, {}}},
      {"HMU_WriteBlock_AllOnes", WriteBlock(2, 0xFF), BlockFrames(onesPiece, onesPiece, onesLast, "D3 D3 02 00"),
       BlockAnswers(10, AckAndData("D3 D3 00")), {128, {}}},
      {"HMU_WriteBlock_InitRefused", WriteBlock(2, 0x00), {Tunnel("D1 D1")}, {AckAndData("D1 D2 00")}, {-3, {}}},
      {"HMU_WriteBlock_PieceNotAcknowledged", WriteBlock(2, 0x00), firstThree, BlockAnswers(2, BadAck()), {-2, {}}},
      {"HMU_WriteBlock_WriteRefused", WriteBlock(2, 0x00), zeroBlock, BlockAnswers(10, AckAndData("D3 D4 00")), {-3, {}}},
      {"HMU_WriteBlock_RefusesAMissingBuffer", R([](auto& d) { return d.HMU_WriteBlock(2, nullptr); }), {}, {}, {-1, {}}},
  };
  // clang-format on
}

// ---- the decoder update ----

TCall ReadCV(uint16_t cv) {
  return [cv](TOrvoCommDevice& d) {
    uint8_t value = 0xCC;
    const bool ok = d.DUX_ReadCV(cv, value);
    return TOutcome{ok, {value}};
  };
}

std::vector<TBytes> BitReads(const char* first) {
  std::vector<TBytes> frames{H(first)};
  for (int i = 0; i < 7; ++i)
    frames.push_back(H("11 00 20 00 04 00 01 00 00 00 00 00 10 27 00 00 FF"));
  return frames;
}

std::vector<TAnswer> Results(std::initializer_list<uint8_t> codes) {
  std::vector<TAnswer> answers;
  for (uint8_t c : codes)
    answers.push_back(Result(c));
  return answers;
}

std::vector<TCase> DuxRows() {
  // clang-format off
  const char* readCV = "13 00 20 00 04 00 03 00 00 00 00 00 10 27 00 00 01 01 02";
  TBytes flashBlock(256);
  for (size_t i = 0; i < flashBlock.size(); ++i) flashBlock[i] = static_cast<uint8_t>(i);
  TBytes flashFrame = H("15 01 20 00 04 00 05 01 00 00 00 00 A0 86 01 00 03 55 12 34");
  flashFrame.insert(flashFrame.end(), flashBlock.begin(), flashBlock.end());
  flashFrame.push_back(0x00); // XOR of 0 .. 255
  auto writeFlash = [flashBlock](TOrvoCommDevice& d) { return d.DUX_WriteFlash(0x00123456, flashBlock.data()); };
  const TBytes tooMuch(262, 0x11);

  return {
      {"DUX_Enable", R([](auto& d) { return d.DUX_Enable(); }), {H("05 00 20 00 02")}, {Result(0)}, {1, {}}},
      {"DUX_Enable_NonZeroResult", R([](auto& d) { return d.DUX_Enable(); }), {H("05 00 20 00 02")}, {Result(1)}, {0, {}}},
      {"DUX_Disable", R([](auto& d) { return d.DUX_Disable(); }), {H("05 00 20 00 01")}, {Result(0)}, {1, {}}},
      {"DUX_WriteCV_1_3", R([](auto& d) { return d.DUX_WriteCV(1, 3); }), {H("15 00 20 00 04 00 05 00 00 00 00 00 10 27 00 00 02 AA 00 01 03")}, {Result(1)}, {1, {}}},
      {"DUX_WriteCV_HighByteFirst", R([](auto& d) { return d.DUX_WriteCV(0x0304, 0xFE); }), {H("15 00 20 00 04 00 05 00 00 00 00 00 10 27 00 00 02 AA 03 04 FE")}, {Result(1)}, {1, {}}},
      {"DUX_WriteCV_ResultTwoIsAFailure", R([](auto& d) { return d.DUX_WriteCV(1, 3); }), {H("15 00 20 00 04 00 05 00 00 00 00 00 10 27 00 00 02 AA 00 01 03")}, {Result(2)}, {0, {}}},
      {"DUX_EraseFlash", R([](auto& d) { return d.DUX_EraseFlash(); }), {H("14 00 20 00 04 00 04 00 00 00 00 00 00 87 93 03 03 55 FF FF")}, {Result(7)}, {7, {}}},
      {"DUX_EraseFlash_MalformedResult", R([](auto& d) { return d.DUX_EraseFlash(); }), {H("14 00 20 00 04 00 04 00 00 00 00 00 00 87 93 03 03 55 FF FF")}, {MalformedResult()}, {-1, {}}},
      {"DUX_WriteFlash", R(writeFlash), {flashFrame}, {Result(2)}, {1, {}}},
      {"DUX_WriteFlash_ResultOneIsAFailure", R(writeFlash), {flashFrame}, {Result(1)}, {0, {}}},
      {"DUX_WriteFlash_RefusesAMissingBuffer", R([](auto& d) { return d.DUX_WriteFlash(0, nullptr); }), {}, {}, {0, {}}},
      {"DUX_Send_FrameLayout", R([](auto& d) {
         const uint8_t data[] = {1, 2, 3};
         return d.DUX_Send(9, data, 3, 5, 0x1234, 0x5678, 0x9ABCDEF0);
       }), {H("13 00 20 00 09 05 03 00 34 12 78 56 F0 DE BC 9A 01 02 03")}, {Result(0x42)}, {0x42, {}}},
      {"DUX_Send_EmptyListSendsTheShortFrame", R([](auto& d) { return d.DUX_Send(7, std::vector<uint8_t>{}, 1, 2, 3, 500); }), {H("05 00 20 00 07")}, {Result(0)}, {0, {}}},
      {"DUX_Send_List", R([](auto& d) { return d.DUX_Send(7, std::vector<uint8_t>{0xAB}, 1, 2, 3, 4); }), {H("11 00 20 00 07 01 01 00 02 00 03 00 04 00 00 00 AB")}, {Result(0)}, {0, {}}},
      {"DUX_Send_RefusesAMissingBuffer", R([](auto& d) { return d.DUX_Send(4, nullptr, 3, 0, 0, 0, 500); }), {}, {}, {-1, {}}},
      {"DUX_Send_RefusesMoreThan261Bytes", R([tooMuch](auto& d) { return d.DUX_Send(4, tooMuch.data(), 262, 0, 0, 0, 500); }), {}, {}, {-1, {}}},
      {"DUX_Send_ListRefusesMoreThan261Bytes", R([tooMuch](auto& d) { return d.DUX_Send(4, tooMuch, 0, 0, 0, 500); }), {}, {}, {-1, {}}},
      {"DUX_ReadCV_0x81", ReadCV(0x0102), BitReads(readCV), Results({2, 1, 1, 1, 1, 1, 1, 2}), {1, {0x81}}},
      {"DUX_ReadCV_ResultAboveTwoReadsAsZero", ReadCV(0x0102), BitReads(readCV), Results({2, 3, 3, 3, 3, 3, 3, 3}), {1, {0x01}}},
      {"DUX_ReadCV_FirstMinusOneStops", ReadCV(0x0102), {H(readCV)}, {MalformedResult()}, {0, {0x00}}},
      {"DUX_ReadCV_FirstZeroStops", ReadCV(0x0102), {H(readCV)}, Results({0}), {0, {0x00}}},
      {"DUX_ReadCV_ZeroLaterStopsAndKeepsTheBits", ReadCV(0x0102), {H(readCV), BitReads(readCV)[1], BitReads(readCV)[2]}, Results({2, 1, 0}), {0, {0x01}}},
      {"DUX_ReadDecoderType", [](TOrvoCommDevice& d) {
         uint8_t type = 0xCC;
         const bool ok = d.DUX_ReadDecoderType(type);
         return TOutcome{ok, {type}};
       }, BitReads("11 00 20 00 04 00 01 00 00 00 00 00 10 27 00 00 04"), Results({1, 2, 1, 1, 1, 1, 1, 1}), {1, {0x02}}},
  };
  // clang-format on
}

std::vector<TCase> AllRows() {
  std::vector<TCase> rows = HmuRows();
  const std::vector<TCase> dux = DuxRows();
  rows.insert(rows.end(), dux.begin(), dux.end());
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Table, UpdateProtocolTableTest, ::testing::ValuesIn(AllRows()),
                         [](const auto& info) { return info.param.Name; });

// ---- waiting times, each its own test so that they run side by side ----

TEST_F(UpdateProtocolLinkTest, DuxEnableWaitsOneSecondForItsResult) {
  auto link = Open();
  const auto start = steady_clock::now();
  EXPECT_FALSE(link->DUX_Enable());
  const auto elapsed = steady_clock::now() - start;
  EXPECT_GE(elapsed, 990ms);
  EXPECT_LT(elapsed, 1800ms);
  EXPECT_EQ(ReceivedHex(1), std::vector<std::string>{"05 00 20 00 02"});
}

TEST_F(UpdateProtocolLinkTest, DuxEnableTakesAResultThatComesLateWithinItsSecond) {
  auto link = Open();
  fPeer.SetResponder([](const TBytes&) { return TAnswer{{Frame(0x20, {0x00}), 800}}; });
  EXPECT_TRUE(link->DUX_Enable());
}

TEST_F(UpdateProtocolLinkTest, DuxReadCVStopsAtAFirstTimeout) {
  auto link = Open();
  uint8_t value = 0xCC;
  const auto start = steady_clock::now();
  EXPECT_FALSE(link->DUX_ReadCV(1, value));
  EXPECT_GE(steady_clock::now() - start, 1000ms); // 10000 us give 1010 ms
  EXPECT_EQ(value, 0x00);
  EXPECT_EQ(ReceivedHex(1).size(), 1u);
}

TEST_F(UpdateProtocolLinkTest, HmuResetCPUGivesUpAfterFiveSecondsOfSilence) {
  auto link = Open();
  Script({AckAndData("D1 09 00")}); // the polls then go unanswered
  const auto start = steady_clock::now();
  EXPECT_FALSE(link->HMU_ResetCPU(true));
  const auto elapsed = steady_clock::now() - start;
  EXPECT_GE(elapsed, 5000ms);
  EXPECT_LT(elapsed, 7500ms); // the last poll may start just before the five seconds end
  const auto sent = ReceivedHex(1);
  ASSERT_GE(sent.size(), 6u);
  EXPECT_EQ(sent[0], Hex(Tunnel("D1 09")));
  for (size_t i = 1; i < sent.size(); ++i)
    EXPECT_EQ(sent[i], Hex(Tunnel("D1 0B")));
  EXPECT_LE(sent.size(), 7u); // one poll per second of the tunnel's wait
}

} // namespace
} // namespace kavelo
