// The command-station operations over real UDP on loopback, against a scripted command station:
// one table of operations, each with the frames it must send, the answers the station gives and
// the result and caller's record it must leave.

#include "common/FakePlatform.h"
#include "common/LoopbackPair.h"
#include "common/HexBytes.h"
#include "net/StationLinkFixture.h"
#include "common/ScriptedPeer.h"
#include "net/OrvoCommDevice.h"

#include <QString>
#include <cstdio>
#include <cstring>
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

constexpr uint8_t kFill = 0xCC;     // the caller's record before the call
constexpr size_t kGuardSize = 8;    // bytes behind the record that no reply may reach
constexpr int64_t kNoResult = -100; // the operation has no result

TBytes Pattern(size_t n) { // 01 02 03 ...: never the fill byte for any record here
  TBytes out(n);
  for (size_t i = 0; i < n; ++i)
    out[i] = static_cast<uint8_t>(i + 1);
  return out;
}

// A caller's record with guard bytes behind it, all set to kFill.
template <class TRecord> struct TGuarded {
  TRecord Record;
  uint8_t Guard[kGuardSize];
};

template <class TRecord> TGuarded<TRecord> Prefilled() {
  static_assert(sizeof(TGuarded<TRecord>) == sizeof(TRecord) + kGuardSize);
  TGuarded<TRecord> g;
  std::memset(static_cast<void*>(&g), kFill, sizeof g);
  return g;
}

template <class T> TBytes BytesOf(const T& value) {
  TBytes bytes(sizeof(T));
  std::memcpy(bytes.data(), &value, sizeof(T));
  return bytes;
}

// The guarded record as it must look after a reply of payload: cut to the record, rest unchanged.
TBytes Filled(const TBytes& payload, size_t recordSize) {
  TBytes out(recordSize + kGuardSize, kFill);
  std::copy(payload.begin(),
            payload.begin() + static_cast<long>(std::min(payload.size(), recordSize)), out.begin());
  return out;
}

struct TOutcome {
  int64_t Result = kNoResult;
  TBytes Record; // the caller's record (and its guard) after the call
  bool operator==(const TOutcome&) const = default;
};

void PrintTo(const TOutcome& o, std::ostream* os) {
  *os << "{result " << o.Result << ", record " << Hex(o.Record) << "}";
}

using TCall = std::function<TOutcome(TOrvoCommDevice&)>;

struct TOpCase {
  std::string Name;
  TCall Call;
  std::vector<TBytes> Sent;                         // every datagram the station receives
  std::vector<std::vector<TScriptedReply>> Answers; // to the first, second ... datagram
  TOutcome Expected;
};

void PrintTo(const TOpCase& c, std::ostream* os) {
  *os << c.Name;
}

// A call that keeps no record: only its result counts.
template <class F> TCall Result(F f) {
  return [f](TOrvoCommDevice& d) { return TOutcome{static_cast<int64_t>(f(d)), {}}; };
}
template <class F> TCall NoResult(F f) {
  return [f](TOrvoCommDevice& d) {
    f(d);
    return TOutcome{};
  };
}
// A call on a guarded record of type TRecord.
template <class TRecord, class F> TCall OnRecord(F f) {
  return [f](TOrvoCommDevice& d) {
    auto g = Prefilled<TRecord>();
    const bool ok = f(d, g.Record);
    return TOutcome{ok, BytesOf(g)};
  };
}

std::vector<TScriptedReply> Answer(const TBytes& datagram) {
  return {{datagram, 0}};
}

class CommandStationLinkTest : public test::TStationLinkTest {};

class CommandStationTableTest : public CommandStationLinkTest,
                                public ::testing::WithParamInterface<TOpCase> {};

TEST_P(CommandStationTableTest, SendsItsFramesAndLeavesItsResult) {
  const TOpCase& c = GetParam();
  auto link = Open();
  ASSERT_NE(link->Server(), nullptr);
  Script(c.Answers);
  const TOutcome outcome = c.Call(*link);
  ExpectSent(c.Sent);
  EXPECT_EQ(outcome, c.Expected);
}

// ---- reading a record: every operation with and without waiting, and its size rule ----

template <class TRecord, class F>
void AddReadRows(std::vector<TOpCase>& rows, const std::string& name, uint16_t request,
                 uint16_t reply, bool sizeChecked, F read) {
  const size_t size = sizeof(TRecord);
  auto call = [read](bool waitFor) {
    return OnRecord<TRecord>(
        [read, waitFor](TOrvoCommDevice& d, TRecord& r) { return read(d, r, waitFor); });
  };
  const TBytes exact = Pattern(size), shorter = Pattern(size - 1), longer = Pattern(size + 3);
  const int64_t otherSize = sizeChecked ? 0 : 1;
  rows.push_back({name + "_WaitsAndTakesAReplyOfItsSize",
                  call(true),
                  {Frame(request)},
                  {Answer(Frame(reply, exact))},
                  {1, Filled(exact, size)}});
  rows.push_back(
      {name + "_WithoutWaitingOnlyAsks", call(false), {Frame(request)}, {}, {1, Filled({}, size)}});
  rows.push_back({name + "_ShorterReply",
                  call(true),
                  {Frame(request)},
                  {Answer(Frame(reply, shorter))},
                  {otherSize, Filled(shorter, size)}});
  rows.push_back({name + "_LongerReplyNeverPassesTheRecord",
                  call(true),
                  {Frame(request)},
                  {Answer(Frame(reply, longer))},
                  {otherSize, Filled(longer, size)}});
}

template <class TRecord, class F>
void AddPointerReadRows(std::vector<TOpCase>& rows, const std::string& name, uint16_t request,
                        uint16_t reply, F read) {
  AddReadRows<TRecord>(rows, name, request, reply, true,
                       [read](TOrvoCommDevice& d, TRecord& r, bool w) { return read(d, &r, w); });
  rows.push_back(
      {name + "_RefusesAMissingRecord",
       Result([read](TOrvoCommDevice& d) { return read(d, static_cast<TRecord*>(nullptr), true); }),
       {},
       {},
       {0, {}}});
  rows.push_back({name + "_RefusesAMissingRecordWithoutWaiting",
                  Result([read](TOrvoCommDevice& d) {
                    return read(d, static_cast<TRecord*>(nullptr), false);
                  }),
                  {},
                  {},
                  {0, {}}});
}

#define READ(method) [](TOrvoCommDevice& d, auto& r, bool w) { return d.method(r, w); }
#define READ_P(method) [](TOrvoCommDevice& d, auto* r, bool w) { return d.method(r, w); }

std::vector<TOpCase> ReadRows() {
  // clang-format off
  std::vector<TOpCase> rows;
  AddReadRows<TCommonSettings>(rows, "CFG_ReadCommonSettings", 0x12, 0x12, false, READ(CFG_ReadCommonSettings));
  AddReadRows<TMMDCCSettings>(rows, "CFG_ReadMMDCCSettings", 0x16, 0x16, true, READ(CFG_ReadMMDCCSettings));
  AddPointerReadRows<TSystemState>(rows, "CFG_GetSystemState", 0x85, 0x84, READ_P(CFG_GetSystemState));
  AddReadRows<THwInfo>(rows, "GetHwInfoExt", 0x1A, 0x1A, true, READ(GetHwInfoExt));
  AddPointerReadRows<TGlidraSettings>(rows, "CFG_Glidra_GetSettings", 0x90, 0x90, READ_P(CFG_Glidra_GetSettings));
  AddPointerReadRows<TGlidraData>(rows, "CFG_Glidra_GetData", 0x92, 0x92, READ_P(CFG_Glidra_GetData));
  AddPointerReadRows<TGlidraDataExt>(rows, "CFG_Glidra_GetDataExt", 0x93, 0x93, READ_P(CFG_Glidra_GetDataExt));
  AddPointerReadRows<TGlidraDataExt2>(rows, "CFG_Glidra_GetDataExt2", 0x94, 0x94, READ_P(CFG_Glidra_GetDataExt2));
  AddPointerReadRows<TBoosterSystemState>(rows, "BOOST_GetSystemState", 0xBB, 0xBA, READ_P(BOOST_GetSystemState));
  AddReadRows<TBoosterDescription>(rows, "BOOST_ReadDescription", 0xB8, 0xB8, false, READ(BOOST_ReadDescription));
  AddReadRows<TBoosterCommonSettings>(rows, "BOOST_ReadCommonSettings", 0xBC, 0xBC, false, READ(BOOST_ReadCommonSettings));
  AddReadRows<TBoosterMMDCCSettings>(rows, "BOOST_ReadMMDCCSettings", 0xBE, 0xBE, true, READ(BOOST_ReadMMDCCSettings));
  AddPointerReadRows<TDecoderSystemState>(rows, "DECODER_GetSystemState", 0xDB, 0xDA, READ_P(DECODER_GetSystemState));
  AddReadRows<TBoosterDescription>(rows, "DECODER_ReadDescription", 0xD8, 0xD8, false, READ(DECODER_ReadDescription));
  AddReadRows<TDecoderCVSettings>(rows, "DECODER_ReadCVSettings", 0xDC, 0xDC, false, READ(DECODER_ReadCVSettings));

  // The two size rules named outright, and a station that does not answer.
  const auto common = OnRecord<TCommonSettings>([](auto& d, auto& r) { return d.CFG_ReadCommonSettings(r, true); });
  const auto mmdcc = OnRecord<TMMDCCSettings>([](auto& d, auto& r) { return d.CFG_ReadMMDCCSettings(r, true); });
  rows.push_back({"CFG_ReadCommonSettings_FiveByteReplyAccepted", common, {H("04 00 12 00")},
                  {Answer(H("09 00 12 00 01 02 03 04 05"))}, {1, Filled(H("01 02 03 04 05"), 10)}});
  rows.push_back({"CFG_ReadMMDCCSettings_FifteenByteReplyRefused", mmdcc, {H("04 00 16 00")},
                  {Answer(Frame(0x16, Pattern(15)))}, {0, Filled(Pattern(15), 16)}});
  rows.push_back({"CFG_ReadMMDCCSettings_NoReplyLeavesTheRecord", mmdcc, {H("04 00 16 00")}, {},
                  {0, Filled({}, 16)}});

  // Reads with a request payload of their own.
  const auto flags = OnRecord<uint32_t>([](auto& d, uint32_t& v) { return d.CFG_GetBroadcastFlags(v); });
  rows.push_back({"CFG_GetBroadcastFlags_FourByteReply", flags, {H("04 00 51 00")},
                  {Answer(H("08 00 51 00 78 56 34 12"))}, {1, Filled(H("78 56 34 12"), 4)}});
  rows.push_back({"CFG_GetBroadcastFlags_ThreeByteReplyRefused", flags, {H("04 00 51 00")},
                  {Answer(H("07 00 51 00 78 56 34"))}, {0, Filled(H("78 56 34"), 4)}});
  rows.push_back({"CFG_GetBroadcastFlags_FiveByteReplyRefused", flags, {H("04 00 51 00")},
                  {Answer(H("09 00 51 00 78 56 34 12 99"))}, {0, Filled(H("78 56 34 12"), 4)}});

  auto railCom = [](bool waitFor) {
    return OnRecord<TRailComData>([waitFor](auto& d, auto& r) { return d.CFG_RailCom_GetDataEx(0x1234, &r, waitFor); });
  };
  const TBytes railRequest = H("07 00 89 00 01 34 12");
  rows.push_back({"CFG_RailCom_GetDataEx_ThirteenByteReply", railCom(true), {railRequest},
                  {Answer(Frame(0x88, Pattern(13)))}, {1, Filled(Pattern(13), 13)}});
  rows.push_back({"CFG_RailCom_GetDataEx_TwelveByteReplyRefused", railCom(true), {railRequest},
                  {Answer(Frame(0x88, Pattern(12)))}, {0, Filled(Pattern(12), 13)}});
  rows.push_back({"CFG_RailCom_GetDataEx_FourteenByteReplyRefused", railCom(true), {railRequest},
                  {Answer(Frame(0x88, Pattern(14)))}, {0, Filled(Pattern(14), 13)}});
  rows.push_back({"CFG_RailCom_GetDataEx_WithoutWaitingOnlyAsks", railCom(false), {railRequest}, {},
                  {1, Filled({}, 13)}});
  rows.push_back({"CFG_RailCom_GetDataEx_RefusesAMissingRecord",
                  Result([](auto& d) { return d.CFG_RailCom_GetDataEx(0x1234, nullptr, true); }), {}, {}, {0, {}}});

  auto locoMode = [](bool waitFor) {
    return OnRecord<uint8_t>([waitFor](auto& d, uint8_t& v) { return d.CFG_GetLocoMode(3, &v, waitFor); });
  };
  rows.push_back({"CFG_GetLocoMode_StoresTheThirdByte", locoMode(true), {H("06 00 60 00 00 03")},
                  {Answer(H("07 00 60 00 00 03 02"))}, {1, Filled(H("02"), 1)}});
  rows.push_back({"CFG_GetLocoMode_SendsTheAddressHighByteFirst",
                  Result([](auto& d) { return d.CFG_GetLocoMode(0x1234, nullptr, false); }),
                  {H("06 00 60 00 12 34")}, {}, {1, {}}});
  rows.push_back({"CFG_GetLocoMode_TwoByteReplyRefused", locoMode(true), {H("06 00 60 00 00 03")},
                  {Answer(H("06 00 60 00 00 03"))}, {0, Filled({}, 1)}});
  rows.push_back({"CFG_GetLocoMode_FourByteReplyRefused", locoMode(true), {H("06 00 60 00 00 03")},
                  {Answer(H("08 00 60 00 00 03 02 07"))}, {0, Filled({}, 1)}});
  rows.push_back({"CFG_GetLocoMode_WithoutWaitingOnlyAsks", locoMode(false), {H("06 00 60 00 00 03")},
                  {Answer(H("07 00 60 00 00 03 02"))}, {1, Filled({}, 1)}});
  rows.push_back({"CFG_GetLocoMode_WithoutAPlaceForTheAnswerOnlyAsks",
                  Result([](auto& d) { return d.CFG_GetLocoMode(3, nullptr, true); }),
                  {H("06 00 60 00 00 03")}, {}, {1, {}}});
  return rows;
  // clang-format on
}

#undef READ
#undef READ_P

// ---- writing a record, plain requests and small commands ----

template <class TRecord, class F>
void AddWriteRow(std::vector<TOpCase>& rows, const std::string& name, uint16_t header, F write) {
  const TBytes bytes = Pattern(sizeof(TRecord));
  rows.push_back({name,
                  Result([bytes, write](TOrvoCommDevice& d) {
                    TRecord record;
                    std::memcpy(static_cast<void*>(&record), bytes.data(), sizeof record);
                    return write(d, record);
                  }),
                  {Frame(header, bytes)},
                  {},
                  {1, {}}});
}

#define WRITE(method) [](TOrvoCommDevice& d, const auto& r) { return d.method(r); }

std::vector<TOpCase> WriteAndCommandRows() {
  // clang-format off
  std::vector<TOpCase> rows;
  AddWriteRow<TCommonSettings>(rows, "CFG_WriteCommonSettings", 0x13, WRITE(CFG_WriteCommonSettings));
  AddWriteRow<TMMDCCSettings>(rows, "CFG_WriteMMDCCSettings", 0x17, WRITE(CFG_WriteMMDCCSettings));
  AddWriteRow<TGlidraSettings>(rows, "CFG_Glidra_SetSettings", 0x91, WRITE(CFG_Glidra_SetSettings));
  AddWriteRow<TGlidraInput>(rows, "CFG_Glidra_SetData", 0x95, WRITE(CFG_Glidra_SetData));
  AddWriteRow<TGlidraInputExt>(rows, "CFG_Glidra_SetDataExt", 0x96, WRITE(CFG_Glidra_SetDataExt));
  AddWriteRow<TBoosterDescription>(rows, "BOOST_WriteDescription", 0xB9, WRITE(BOOST_WriteDescription));
  AddWriteRow<TBoosterCommonSettings>(rows, "BOOST_WriteCommonSettings", 0xBD, WRITE(BOOST_WriteCommonSettings));
  AddWriteRow<TBoosterMMDCCSettings>(rows, "BOOST_WriteMMDCCSettings", 0xBF, WRITE(BOOST_WriteMMDCCSettings));
  AddWriteRow<TBoosterDescription>(rows, "DECODER_WriteDescription", 0xD9, WRITE(DECODER_WriteDescription));
  AddWriteRow<TDecoderCVSettings>(rows, "DECODER_WriteCVSettings", 0xDD, WRITE(DECODER_WriteCVSettings));
  rows.push_back({"CFG_SetBroadcastFlags_SendsAndRemembers", [](TOrvoCommDevice& d) {
                    const bool ok = d.CFG_SetBroadcastFlags(0x12345678);
                    return TOutcome{ok, BytesOf(d.CFG_LastBroadcastFlags())};
                  },
                  {H("08 00 50 00 78 56 34 12")}, {}, {1, H("78 56 34 12")}});

  const std::vector<std::pair<std::string, TCall>> plain = {
      {"GetSerialNumber", Result([](auto& d) { return d.GetSerialNumber(); })},
      {"GetHwInfo", Result([](auto& d) { return d.GetHwInfo(); })},
      {"Logoff", Result([](auto& d) { return d.Logoff(); })},
      {"Restart", Result([](auto& d) { return d.Restart(); })},
      {"Bootloader", Result([](auto& d) { return d.Bootloader(); })},
      {"CFG_RailCom_GetData", Result([](auto& d) { return d.CFG_RailCom_GetData(); })}};
  const uint16_t plainHeaders[] = {0x10, 0x1A, 0x30, 0x31, 0x33, 0x89};
  for (size_t i = 0; i < plain.size(); ++i)
    rows.push_back({plain[i].first, plain[i].second, {Frame(plainHeaders[i])}, {}, {1, {}}});

  const std::vector<TOpCase> small = {
      {"CFG_GetQuenbusData", Result([](auto& d) { return d.CFG_GetQuenbusData(7); }), {H("05 00 81 00 07")}, {}, {1, {}}},
      {"CFG_ProgramQuenbusModule", Result([](auto& d) { return d.CFG_ProgramQuenbusModule(0x42); }), {H("05 00 82 00 42")}, {}, {1, {}}},
      {"CFG_SetLocoMode", NoResult([](auto& d) { d.CFG_SetLocoMode(0x1234, 3); }), {H("07 00 61 00 12 34 03")}, {}, {}},
      {"CFG_DebugReadBlock", Result([](auto& d) { return d.CFG_DebugReadBlock(0x08001234, 0x20); }), {H("09 00 F8 00 34 12 00 08 20")}, {}, {1, {}}},
      {"SnifferBus_Config", NoResult([](auto& d) { d.SnifferBus_Config(5); }), {H("05 00 9A 00 05")}, {}, {}},
      {"LocoNet_DispatchAddress", NoResult([](auto& d) { d.LocoNet_DispatchAddress(0x1234); }), {H("06 00 A3 00 34 12")}, {}, {}},
      {"LocoNet_ReadSlot", NoResult([](auto& d) { d.LocoNet_ReadSlot(9); }), {H("06 00 AF 00 00 09")}, {}, {}},
      {"LocoNet_SlotAllowPurging_Allow", NoResult([](auto& d) { d.LocoNet_SlotAllowPurging(9, true); }), {H("06 00 AF 00 01 09")}, {}, {}},
      {"LocoNet_SlotAllowPurging_Forbid", NoResult([](auto& d) { d.LocoNet_SlotAllowPurging(9, false); }), {H("06 00 AF 00 02 09")}, {}, {}},
      {"LocoNet_ReportDetector_0", NoResult([](auto& d) { d.LocoNet_ReportDetector(0); }), {H("07 00 A4 00 80 00 00")}, {}, {}},
      {"LocoNet_ReportDetector_1", NoResult([](auto& d) { d.LocoNet_ReportDetector(1); }), {H("07 00 A4 00 81 00 00")}, {}, {}},
      {"LocoNet_ReportDetector_0x1235", NoResult([](auto& d) { d.LocoNet_ReportDetector(0x1235); }), {H("07 00 A4 00 81 34 12")}, {}, {}},
      {"LocoNet_ReportLissy", NoResult([](auto& d) { d.LocoNet_ReportLissy(0x1234); }), {H("07 00 A4 00 82 34 12")}, {}, {}},
      {"LocoNet_ReportRFID", NoResult([](auto& d) { d.LocoNet_ReportRFID(); }), {H("07 00 A4 00 A0 00 00")}, {}, {}},
      {"CAN_ReportDetector", NoResult([](auto& d) { d.CAN_ReportDetector(); }), {H("07 00 C4 00 00 00 D0")}, {}, {}}};
  rows.insert(rows.end(), small.begin(), small.end());
  return rows;
  // clang-format on
}

#undef WRITE

// ---- X-Bus, LocoNet and CAN ----

template <size_t N>
TCall OnBuffer(const char* message, std::function<bool(TOrvoCommDevice&, uint8_t*)> f) {
  const TBytes bytes = H(message);
  return [bytes, f](TOrvoCommDevice& d) {
    TBytes buffer(N, kFill);
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    const bool ok = f(d, buffer.data());
    return TOutcome{ok, buffer};
  };
}

std::vector<TOpCase> BusRows() {
  // clang-format off
  const std::vector<TOpCase> rows = {
      {"SetTrackPowerOn", Result([](auto& d) { return d.SetTrackPowerOn(); }), {H("07 00 40 00 21 81 A0")}, {}, {1, {}}},
      {"SetTrackPowerOff", Result([](auto& d) { return d.SetTrackPowerOff(); }), {H("07 00 40 00 21 80 A1")}, {}, {1, {}}},
      {"SetTrackEmergencyStop", Result([](auto& d) { return d.SetTrackEmergencyStop(); }), {H("06 00 40 00 80 80")}, {}, {1, {}}},
      {"GetFwVersion", Result([](auto& d) { return d.GetFwVersion(); }), {H("07 00 40 00 F1 0A FB")}, {}, {1, {}}},
      {"SetTurnout_1_Activate_Output2", Result([](auto& d) { return d.SetTurnout(1, true, 2, false); }), {H("09 00 40 00 53 00 00 89 DA")}, {}, {1, {}}},
      {"SetTurnout_1_Output1", Result([](auto& d) { return d.SetTurnout(1, false, 1, false); }), {H("09 00 40 00 53 00 00 80 D3")}, {}, {1, {}}},
      {"SetTurnout_0x0203", Result([](auto& d) { return d.SetTurnout(0x0203, true, 1, false); }), {H("09 00 40 00 53 02 02 88 DB")}, {}, {1, {}}},
      // Its X-header counts four data bytes; the fourth goes out as 0.
      {"SetExtTurnout", Result([](auto& d) { return d.SetExtTurnout(5, 0x23); }), {H("0A 00 40 00 54 00 04 23 00 73")}, {}, {1, {}}},
      {"GetTurnout_1", Result([](auto& d) { return d.GetTurnout(1); }), {H("08 00 40 00 43 00 00 43")}, {}, {1, {}}},
      {"GetTurnout_0x0100", Result([](auto& d) { return d.GetTurnout(0x0100); }), {H("08 00 40 00 43 00 FF BC")}, {}, {1, {}}},
      {"POM_ReadByte", Result([](auto& d) { return d.POM_ReadByte(3, 1); }), {H("0C 00 40 00 E6 30 C0 03 E4 01 00 F0")}, {}, {1, {}}},
      {"POM_ReadByte_LongAddressHighCV", Result([](auto& d) { return d.POM_ReadByte(0x1234, 0x3FF); }), {H("0C 00 40 00 E6 30 D2 34 E7 FF 00 28")}, {}, {1, {}}},
      {"POM_WriteByte", Result([](auto& d) { return d.POM_WriteByte(5, 0x200, 0x7F); }), {H("0C 00 40 00 E6 30 C0 05 EE 00 7F 82")}, {}, {1, {}}},
      {"POM_WriteBit_One", Result([](auto& d) { return d.POM_WriteBit(3, 29, 13, true); }), {H("0C 00 40 00 E6 30 C0 03 E8 1D 0D ED")}, {}, {1, {}}},
      {"POM_WriteBit_Zero", Result([](auto& d) { return d.POM_WriteBit(3, 29, 2, false); }), {H("0C 00 40 00 E6 30 C0 03 E8 1D 02 E2")}, {}, {1, {}}},
      {"POM_ReadByteAccessory_Output0", Result([](auto& d) { return d.POM_ReadByteAccessory(0x123, 0, 5); }), {H("0C 00 40 00 E6 31 12 30 E4 05 00 14")}, {}, {1, {}}},
      {"POM_WriteByteAccessory_Output3", Result([](auto& d) { return d.POM_WriteByteAccessory(0x123, 3, 0x101, 0x55); }), {H("0C 00 40 00 E6 31 12 3B ED 01 55 47")}, {}, {1, {}}},
      {"POM_WriteBitAccessory_AddressCutTo16Bits", Result([](auto& d) { return d.POM_WriteBitAccessory(0x1FFF, 9, 7, 7, true); }), {H("0C 00 40 00 E6 31 FF F9 E8 07 0F 31")}, {}, {1, {}}},
      {"XPressNet_WritesTheXorIntoTheBuffer", OnBuffer<8>("23 11 22 33", [](auto& d, uint8_t* b) { return d.XPressNet(b, false); }), {H("09 00 40 00 23 11 22 33 23")}, {}, {1, H("23 11 22 33 23 CC CC CC")}},
      {"XPressNet_RefusesAMissingBuffer", Result([](auto& d) { return d.XPressNet(nullptr, false); }), {}, {}, {0, {}}},
      {"XPressNet_WithLength", OnBuffer<8>("4F 01 02", [](auto& d, uint8_t* b) { return d.XPressNet(b, uint8_t{2}); }), {H("08 00 40 00 4F 01 02 4C")}, {}, {1, H("4F 01 02 4C CC CC CC CC")}},
      {"XPressNet_WithLengthRefusesAMissingBuffer", Result([](auto& d) { return d.XPressNet(nullptr, uint8_t{2}); }), {}, {}, {0, {}}},
      {"LocoNet_Send_AddsTheCheckByte", OnBuffer<6>("A0 01 02", [](auto& d, uint8_t* b) { return d.LocoNet_Send(b, 3); }), {H("08 00 A2 00 A0 01 02 5C")}, {}, {1, H("A0 01 02 5C CC CC")}},
      {"LocoNet_Send_Empty", OnBuffer<2>("", [](auto& d, uint8_t* b) { return d.LocoNet_Send(b, 0); }), {H("05 00 A2 00 FF")}, {}, {1, H("FF CC")}},
      {"LocoNet_Send_RefusesAMissingBuffer", Result([](auto& d) { return d.LocoNet_Send(nullptr, 3); }), {}, {}, {0, {}}},
      // Class 0x0080: byte 7 goes out as 0x00 and bit 0 of byte 6 carries its bit 7.
      {"LocoNet_CV_Cfg_Write_HighBitOfTheClass", Result([](auto& d) { return d.LocoNet_CV_Cfg_Write(0x0080, 1, 2); }), {H("13 00 A2 00 ED 0F 08 05 00 20 01 00 00 01 00 02 00 00 32")}, {}, {1, {}}},
      {"LocoNet_CV_Cfg_Request_EveryHighBit", Result([](auto& d) { return d.LocoNet_CV_Cfg_Request(0x8180, 0xFF7F, 0x8000, 0x80); }), {H("13 00 A2 00 ED 0F 08 05 00 21 6B 00 01 7F 7F 00 00 00 5B")}, {}, {1, {}}},
      {"CAN_Send", Result([](auto& d) {
         TCANMessage m;
         std::memcpy(static_cast<void*>(&m), Pattern(16).data(), 16);
         return d.CAN_Send(m);
       }), {H("14 00 C2 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10")}, {}, {1, {}}},
      {"CAN_SendZCAN_MarksACopy", OnRecord<TCANMessage>([](auto& d, TCANMessage& m) {
         std::memcpy(static_cast<void*>(&m), Pattern(16).data(), 16);
         return d.CAN_SendZCAN(m);
       }), {H("14 00 C2 00 00 02 01 00 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10")}, {}, {1, Filled(Pattern(16), 16)}},
      {"CAN_RequestPing", Result([](auto& d) { return d.CAN_RequestPing(0x1234); }), {H("14 00 C2 00 00 02 01 00 00 00 00 1A 34 12 00 00 00 00 00 00")}, {}, {1, {}}},
      {"CAN_InfoModuleInfoReq", Result([](auto& d) { return d.CAN_InfoModuleInfoReq(0x1234, 0x5678); }), {H("14 00 C2 00 00 04 01 00 00 00 20 18 34 12 78 56 00 00 00 00")}, {}, {1, {}}},
      {"CAN_ReportBooster", NoResult([](auto& d) { d.CAN_ReportBooster(); }), {H("14 00 C2 00 00 02 01 00 00 00 00 1A 00 C1 00 00 00 00 00 00")}, {}, {}}};
  return rows;
  // clang-format on
}

std::vector<TOpCase> AllRows() {
  std::vector<TOpCase> rows = ReadRows();
  for (auto&& part : {WriteAndCommandRows(), BusRows()})
    rows.insert(rows.end(), part.begin(), part.end());
  return rows;
}

INSTANTIATE_TEST_SUITE_P(Table, CommandStationTableTest, ::testing::ValuesIn(AllRows()),
                         [](const auto& info) { return info.param.Name; });

// ---- beyond the table ----

TEST_F(CommandStationLinkTest, AReplyToAReadWithoutWaitingReachesTheCallbackNotTheRecord) {
  std::mutex mutex;
  std::vector<std::string> seen;
  auto link = Open([&](TOrvoCommDevice*, uint16_t header, const uint8_t* data, uint16_t size) {
    std::lock_guard lock(mutex);
    seen.push_back(std::to_string(header) + ":" + Hex(TBytes(data, data + size)));
  });
  Script({Answer(Frame(0x84, Pattern(16)))});
  auto g = Prefilled<TSystemState>();
  EXPECT_TRUE(link->CFG_GetSystemState(&g.Record, false));
  ASSERT_TRUE(test::PumpUntil([&] {
    std::lock_guard lock(mutex);
    return !seen.empty();
  }));
  std::lock_guard lock(mutex);
  EXPECT_THAT(seen, ::testing::ElementsAre("132:" + Hex(Pattern(16))));
  EXPECT_EQ(BytesOf(g), Filled({}, 16));
}

TEST_F(CommandStationLinkTest, BroadcastFlagsAreRememberedEvenWhenTheSendFails) {
  TUdpSocket squatter; // holds the port, so the link gets no endpoint and cannot send
  ASSERT_TRUE(squatter.Bind(StrToIP(QString::fromStdString(fPrefix + ".1"), 0), 21105));
  TOrvoCommDevice link(StrToIP(QString::fromStdString(fPrefix + ".2"), 0), nullptr, 21105, 21105);
  ASSERT_EQ(link.Server(), nullptr);
  EXPECT_EQ(link.CFG_LastBroadcastFlags(), 0u);
  EXPECT_FALSE(link.CFG_SetBroadcastFlags(0xA5A50001));
  EXPECT_EQ(link.CFG_LastBroadcastFlags(), 0xA5A50001u);
  // A link without an endpoint reports its sends as failed rather than done.
  EXPECT_FALSE(link.SetTrackPowerOn());
  EXPECT_FALSE(link.CFG_WriteCommonSettings(TCommonSettings{}));
}

TEST_F(CommandStationLinkTest, BroadcastFlagsAreRememberedWhenNoDeviceListens) {
  // Nothing is bound at .3: the flags go nowhere and are remembered all the same.
  TOrvoCommDevice link(StrToIP(QString::fromStdString(fPrefix + ".3"), 0), nullptr, 21105, 21105);
  ASSERT_NE(link.Server(), nullptr);
  EXPECT_TRUE(link.CFG_SetBroadcastFlags(7));
  EXPECT_TRUE(link.CFG_SetBroadcastFlags(0x00010203));
  EXPECT_EQ(link.CFG_LastBroadcastFlags(), 0x00010203u);
}

TEST(CommandStationZcanTest, BitPatterns) {
  // ACK(1, 2, 3): bit 28, group 1 in 24..27, command 2 in 18..23, mode 3 in 16..17, id 3.
  constexpr uint32_t ack = TOrvoCommDevice::ZCAN20_IDACK(1, 2, 3);
  static_assert(ack == 0x110B0003);
  EXPECT_EQ(ack >> 28, 1u);
  EXPECT_EQ((ack >> 24) & 0xF, 1u);
  EXPECT_EQ((ack >> 18) & 0x3F, 2u);
  EXPECT_EQ((ack >> 16) & 0x3, 3u);
  EXPECT_EQ(ack & 0xFFFF, 3u);
  // REQ(0x0A, 0, 0) has only bits 28, 27 and 25 set.
  EXPECT_EQ(TOrvoCommDevice::ZCAN20_IDREQ(0x0A, 0, 0), (1u << 28) | (1u << 27) | (1u << 25));
  EXPECT_EQ(TOrvoCommDevice::ZCAN20_IDREQ(8, 8, 0), 0x18200000u);
  // The mode is the only difference between the four.
  EXPECT_EQ(TOrvoCommDevice::ZCAN20_IDREQ(5, 6, 0x1234), 0x15180000u | 0x1234);
  EXPECT_EQ(TOrvoCommDevice::ZCAN20_IDCMD(5, 6, 0x1234), 0x15190000u | 0x1234);
  EXPECT_EQ(TOrvoCommDevice::ZCAN20_IDEVT(5, 6, 0x1234), 0x151A0000u | 0x1234);
  EXPECT_EQ(TOrvoCommDevice::ZCAN20_IDACK(5, 6, 0x1234), 0x151B0000u | 0x1234);
}

} // namespace
} // namespace kavelo
