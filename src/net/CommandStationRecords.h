#pragma once
// The records that the command set moves between the PC and a command station, a booster or a
// decoder. Each record is packed and its bytes in memory are its payload on the wire, so the
// link copies payloads in and out without looking at the fields.

#include "net/CommandStationProtocol.h"

#include <QString>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace kavelo {

static_assert(std::endian::native == std::endian::little,
              "the records' memory form is their little-endian wire form");

// A device may send any byte where a flag is expected; a C++ bool holding anything but 0 or 1
// is undefined, so flags stay bytes (0 false, 1 true).
using TBoolean = uint8_t;

enum class TProgrammingType : uint8_t { ptNothing = 0, ptBitOnly = 1, ptByteOnly = 2, ptBoth = 3 };

enum class TGlidraLocoType : uint8_t { LT_DCC_2L = 0, LT_MM_3L = 1, LT_PWM_2L = 2, LT_UNKNOWN = 3 };

enum class TGlidraFindState : uint8_t { FIND_STOP = 0, FIND_GO = 1, FIND_SCAN = 2 };

enum class TGlidraStopStateType : uint8_t {
  NO_STOP = 0,
  STOP_LOCO_LEN1 = 1,
  STOP_LOCO_LEN2 = 2,
  STOP_L1 = 3,
  STOP_L2 = 4,
  STOP_MID = 5
};

enum class TGlidraState : uint8_t {
  GLS_STANDBY = 0,
  GLS_EMPTY = 1,
  GLS_CONFIRM = 2,
  GLS_INIT_POS = 3,
  GLS_INIT_LEN = 4,
  GLS_TEST_MM = 5,
  GLS_OBSERVE_MM = 6,
  GLS_STOP_MM = 7,
  GLS_TEST_MM_CV1 = 8,
  GLS_LAST_MM = 9,
  GLS_FIND_MM = 10,
  GLS_TEST_DCC = 11,
  GLS_TEST_DCC_CV1 = 12,
  GLS_TEST_DCC_CV29 = 13,
  GLS_TEST_DCC_CV17 = 14,
  GLS_TEST_DCC_CV18 = 15,
  GLS_LAST_DCC = 16,
  GLS_FIND_DCC = 17,
  GLS_READY = 18,
  GLS_DIRECTION_FIND = 19,
  GLS_DIRECTION_DONE = 20,
  GLS_GO = 21,
  GLS_HALT1 = 22,
  GLS_HALT2 = 23,
  GLS_BAND_TEST = 24,
  GLS_TEST_DCC_CV1_RETRY = 25,
  GLS_TEST_PWM_2L = 26,
  GLS_TEST_DCC_CV8 = 27,
  GLS_TEST_DCC_CV105 = 28,
  GLS_TEST_DCC_CV254 = 29,
  GLS_TEST_RAILCOM_CV29 = 30
};

#pragma pack(push, 1)

// ---- command-station settings and state ----

struct TCommonSettings {
  TBoolean EnableRailCom;
  TBoolean EnableBitModifyOnLongAddress;
  uint8_t KeyStopMode;
  TProgrammingType ProgrammingType;
  TBoolean EnableLocoNetCurrentSource;
  uint8_t LocoNetFastClockRate;
  uint8_t LocoNetMode;
  uint8_t ExpertSettings;
  uint8_t Purging;
  uint8_t CANSettings;
};

// Track-format settings for the Maerklin-Motorola and DCC formats.
struct TMMDCCSettings {
  uint8_t StartupResetPackageCount;
  uint8_t ContinueResetPackageCount;
  uint8_t ProgramPackageCount;
  TBoolean BitVerifyToOne;
  uint8_t ExternalSCDIncrement;
  uint8_t InternalSCDIncrement;
  uint16_t ExternalSCDLimit;
  uint16_t InternalSCDLimit;
  uint8_t ProgrammingACKCurrent;
  uint8_t MMDCCFlags;
  uint16_t OutputVoltage;
  uint16_t ProgrammingVoltage;
};

struct THwInfo {
  uint32_t HwType;
  uint32_t FwVersion;
};

struct TSystemState {
  int16_t MainCurrent;
  int16_t ProgCurrent;
  int16_t FilteredMainCurrent;
  int16_t Temperature;
  uint16_t SupplyVoltage;
  uint16_t VCCVoltage;
  uint8_t CentralState;
  uint8_t CentralStateEx;
  uint8_t LastXBusAddress;
  uint8_t Reserved;
};
using PSystemState = TSystemState*;

struct TRailComData {
  uint16_t LocoAddress;
  uint32_t ReceiveCounter;
  uint16_t ErrorCounter;
  uint8_t Alive;
  uint8_t Options;
  uint8_t Speed;
  uint8_t QoS;
  uint8_t Reserved;
};
using PRailComData = TRailComData*;

struct TCANMessage {
  uint8_t Protocol;
  uint8_t Length; // number of used bytes in Data
  uint8_t Format;
  uint8_t Typ;
  uint32_t MessageID;
  std::array<uint8_t, 8> Data;
};

// ---- booster and decoder records ----

struct TBoosterCommonSettings {
  TBoolean dummy1;
  uint8_t dummy2;
  uint8_t dummy3;
  uint8_t DualSettings;
  uint8_t dummy4;
  uint8_t dummy5;
  uint8_t DualSettings2;
};

struct TBoosterMMDCCSettings {
  uint8_t dummy1;
  uint8_t dummy2;
  uint8_t dummy3;
  TBoolean dummy4;
  uint8_t Booster_1_SCDIncrement;
  uint8_t Booster_2_SCDIncrement;
  uint16_t Booster_1_SCDLimit;
  uint16_t Booster_2_SCDLimit;
  uint8_t MMDCCFlags;
  uint8_t fillbyte;
  uint16_t Booster_1_OutputVoltage;
  uint16_t Booster_2_OutputVoltage;
  uint8_t Booster_1_InvertLevel;
  uint8_t Booster_2_InvertLevel;
};

struct TBoosterSystemState {
  int16_t Booster_1_MainCurrent;
  int16_t Booster_2_MainCurrent;
  int16_t Booster_1_FilteredMainCurrent;
  int16_t Booster_2_FilteredMainCurrent;
  int16_t Booster_1_Temperature;
  int16_t Booster_2_Temperature;
  uint16_t SupplyVoltage;
  uint16_t Booster_1_VCCVoltage;
  uint16_t Booster_2_VCCVoltage;
  uint8_t CentralState;
  uint8_t CentralStateEx;
  uint8_t CentralStateEx2;
  uint8_t PeriodCount;
  uint8_t CentralStateEx3;
  uint8_t Reserved2;
};
using PBoosterSystemState = TBoosterSystemState*;

struct TDecoderSystemState {
  int16_t Current;
  int16_t FilteredCurrent;
  uint16_t Voltage;
  uint8_t CentralState;
  uint8_t CentralStateEx;
  std::array<uint8_t, 8> OutputState;
  std::array<uint8_t, 8> OutputConfig;
  std::array<uint8_t, 8> OutputDimm;
  uint16_t Address;
  uint16_t Address2;
  uint32_t Reserved1;
  uint8_t Load;
  uint8_t QoS;
  uint8_t Reserved2;
  uint8_t PeriodCount;
};
using PDecoderSystemState = TDecoderSystemState*;

struct TDecoderCVSettings {
  std::array<uint8_t, 96> CV;
  uint32_t WriteCount;
};

// The name of a booster or decoder: one-byte character codes, ended by a 0 (or 0xFF, the
// value of erased memory) unless all 32 are used.
struct TBoosterDescription {
  static constexpr size_t kSize = 32;
  static constexpr size_t kMaxStoredLength = kSize - 1; // a stored text always keeps its 0 end

  std::array<uint8_t, kSize> Description;

  void Clear();
  // Keeps the low 8 bits of each of the first 31 characters and zeroes the rest.
  void SetString(const QString& desc);
  QString ToString() const;
};

// ---- Glidra, the command station's automatic train feature ----

struct TGlidraData {
  TGlidraState State;
  TGlidraLocoType LocoType;
  uint16_t LocoAddress;
  uint8_t SpeedDirection;
  uint16_t Max_Speed;
  uint16_t Min_Speed;
  TGlidraFindState Find_State;
  uint8_t progress;
  uint8_t left;
  uint8_t right;
};
using PGlidraData = TGlidraData*;

struct TGlidraDataExt {
  uint8_t LocoAddress_Scan_Failed;
  uint8_t LocoCV29;
  int32_t Kp;
  int32_t Kposcorr;
  int32_t Ksmooth;
  int32_t Ta;
  int32_t e;
  int32_t PWMsmooth;
  int32_t PosCorr;
  int32_t PosDeviation;
  uint16_t pwm_hi_fwd;
  uint16_t pwm_hi_bwd;
  TGlidraStopStateType StopState;
  uint32_t Dis_L1;
  uint32_t Dis_L2;
  uint32_t Loco_Len;
  uint32_t DistanceViolation;
  uint16_t hw_monitor_disvo_1;
  uint16_t hw_monitor_disvo_2;
  uint16_t hw_monitor_motor_1;
  uint16_t hw_monitor_motor_2;
};
using PGlidraDataExt = TGlidraDataExt*;

struct TGlidraDataExt2 {
  std::array<uint8_t, 22> Keys;
  std::array<uint8_t, 22> Keys_Pressed;
  std::array<uint8_t, 22> Keys_Mean;
  std::array<uint8_t, 22> Keys_Delta;
  std::array<uint8_t, 22> Keys_Diff;
  std::array<uint8_t, 10> SliderOffset;
  std::array<uint8_t, 10> SliderFactor;
  int16_t Slider;
  uint8_t Keys_Updated;
  uint8_t Kotrinel_FW_Version;
  uint16_t Key_Max_Cycle;
};
using PGlidraDataExt2 = TGlidraDataExt2*;

struct TGlidraInput {
  uint16_t Set_Touch_LocoAddress;
};

struct TGlidraInputExt {
  std::array<uint8_t, 22> Set_Keys_Diff;
  std::array<uint8_t, 10> SliderOffset;
  std::array<uint8_t, 10> SliderFactor;
};

struct TGlidraSettings {
  uint8_t Touch_Sensitivity;
  uint8_t Slider_Sensitivity;
  int8_t Max_Speed;
  int8_t Min_Speed;
  uint8_t Flags;
  uint8_t Kp;
  uint8_t Ki;
  uint8_t Kd;
  std::array<uint8_t, 8> LastLocos;
  uint8_t Loco_Len_Tolerance;
  uint8_t AnalogAcelDecel;
  uint8_t AnalogPWMf;
  std::array<uint8_t, 4> Reserved;
  uint8_t TestIntern;
};
using PGlidraSettings = TGlidraSettings*;

#pragma pack(pop)

using PByte = uint8_t*;
using PByteArray = uint8_t*;

// ---- sizes and offsets: a record's size is the payload length on the wire ----

static_assert(sizeof(TProgrammingType) == 1 && sizeof(TGlidraLocoType) == 1 &&
              sizeof(TGlidraFindState) == 1 && sizeof(TGlidraStopStateType) == 1 &&
              sizeof(TGlidraState) == 1);

static_assert(sizeof(TCommonSettings) == 10);
static_assert(offsetof(TCommonSettings, ProgrammingType) == 3);
static_assert(offsetof(TCommonSettings, CANSettings) == 9);

static_assert(sizeof(TMMDCCSettings) == 16);
static_assert(offsetof(TMMDCCSettings, ExternalSCDLimit) == 6);
static_assert(offsetof(TMMDCCSettings, InternalSCDLimit) == 8);
static_assert(offsetof(TMMDCCSettings, ProgrammingACKCurrent) == 10);
static_assert(offsetof(TMMDCCSettings, OutputVoltage) == 12);
static_assert(offsetof(TMMDCCSettings, ProgrammingVoltage) == 14);

static_assert(sizeof(THwInfo) == 8);
static_assert(offsetof(THwInfo, FwVersion) == 4);

static_assert(sizeof(TSystemState) == 16);
static_assert(offsetof(TSystemState, SupplyVoltage) == 8);
static_assert(offsetof(TSystemState, CentralState) == 12);
static_assert(offsetof(TSystemState, Reserved) == 15);

static_assert(sizeof(TRailComData) == 13);
static_assert(offsetof(TRailComData, ReceiveCounter) == 2); // unaligned
static_assert(offsetof(TRailComData, ErrorCounter) == 6);
static_assert(offsetof(TRailComData, Alive) == 8);
static_assert(offsetof(TRailComData, Reserved) == 12);

static_assert(sizeof(TCANMessage) == 16);
static_assert(offsetof(TCANMessage, MessageID) == 4);
static_assert(offsetof(TCANMessage, Data) == 8);

static_assert(sizeof(TBoosterCommonSettings) == 7);
static_assert(offsetof(TBoosterCommonSettings, DualSettings) == 3);
static_assert(offsetof(TBoosterCommonSettings, DualSettings2) == 6);

static_assert(sizeof(TBoosterMMDCCSettings) == 18);
static_assert(offsetof(TBoosterMMDCCSettings, Booster_1_SCDLimit) == 6);
static_assert(offsetof(TBoosterMMDCCSettings, Booster_2_SCDLimit) == 8);
static_assert(offsetof(TBoosterMMDCCSettings, MMDCCFlags) == 10);
static_assert(offsetof(TBoosterMMDCCSettings, Booster_1_OutputVoltage) == 12);
static_assert(offsetof(TBoosterMMDCCSettings, Booster_2_OutputVoltage) == 14);
static_assert(offsetof(TBoosterMMDCCSettings, Booster_1_InvertLevel) == 16);

static_assert(sizeof(TBoosterSystemState) == 24);
static_assert(offsetof(TBoosterSystemState, SupplyVoltage) == 12);
static_assert(offsetof(TBoosterSystemState, Booster_2_VCCVoltage) == 16);
static_assert(offsetof(TBoosterSystemState, CentralState) == 18);
static_assert(offsetof(TBoosterSystemState, CentralStateEx3) == 22);

static_assert(sizeof(TDecoderSystemState) == 44);
static_assert(offsetof(TDecoderSystemState, CentralState) == 6);
static_assert(offsetof(TDecoderSystemState, OutputState) == 8);
static_assert(offsetof(TDecoderSystemState, OutputConfig) == 16);
static_assert(offsetof(TDecoderSystemState, OutputDimm) == 24);
static_assert(offsetof(TDecoderSystemState, Address) == 32);
static_assert(offsetof(TDecoderSystemState, Address2) == 34);
static_assert(offsetof(TDecoderSystemState, Reserved1) == 36);
static_assert(offsetof(TDecoderSystemState, Load) == 40);
static_assert(offsetof(TDecoderSystemState, PeriodCount) == 43);

static_assert(sizeof(TDecoderCVSettings) == 100);
static_assert(offsetof(TDecoderCVSettings, WriteCount) == 96);

static_assert(sizeof(TBoosterDescription) == TBoosterDescription::kSize);
static_assert(sizeof(TBoosterDescription) == 32);

static_assert(sizeof(TGlidraData) == 13);
static_assert(offsetof(TGlidraData, LocoAddress) == 2);
static_assert(offsetof(TGlidraData, SpeedDirection) == 4);
static_assert(offsetof(TGlidraData, Max_Speed) == 5); // unaligned
static_assert(offsetof(TGlidraData, Min_Speed) == 7); // unaligned
static_assert(offsetof(TGlidraData, Find_State) == 9);
static_assert(offsetof(TGlidraData, right) == 12);

static_assert(sizeof(TGlidraDataExt) == 63);
static_assert(offsetof(TGlidraDataExt, Kp) == 2); // unaligned, as are all Integers here
static_assert(offsetof(TGlidraDataExt, Kposcorr) == 6);
static_assert(offsetof(TGlidraDataExt, Ksmooth) == 10);
static_assert(offsetof(TGlidraDataExt, Ta) == 14);
static_assert(offsetof(TGlidraDataExt, e) == 18);
static_assert(offsetof(TGlidraDataExt, PWMsmooth) == 22);
static_assert(offsetof(TGlidraDataExt, PosCorr) == 26);
static_assert(offsetof(TGlidraDataExt, PosDeviation) == 30);
static_assert(offsetof(TGlidraDataExt, pwm_hi_fwd) == 34);
static_assert(offsetof(TGlidraDataExt, pwm_hi_bwd) == 36);
static_assert(offsetof(TGlidraDataExt, StopState) == 38);
static_assert(offsetof(TGlidraDataExt, Dis_L1) == 39); // unaligned, as are the Cardinals after it
static_assert(offsetof(TGlidraDataExt, Dis_L2) == 43);
static_assert(offsetof(TGlidraDataExt, Loco_Len) == 47);
static_assert(offsetof(TGlidraDataExt, DistanceViolation) == 51);
static_assert(offsetof(TGlidraDataExt, hw_monitor_disvo_1) == 55); // unaligned
static_assert(offsetof(TGlidraDataExt, hw_monitor_disvo_2) == 57);
static_assert(offsetof(TGlidraDataExt, hw_monitor_motor_1) == 59);
static_assert(offsetof(TGlidraDataExt, hw_monitor_motor_2) == 61);

static_assert(sizeof(TGlidraDataExt2) == 136);
static_assert(offsetof(TGlidraDataExt2, Keys_Pressed) == 22);
static_assert(offsetof(TGlidraDataExt2, Keys_Mean) == 44);
static_assert(offsetof(TGlidraDataExt2, Keys_Delta) == 66);
static_assert(offsetof(TGlidraDataExt2, Keys_Diff) == 88);
static_assert(offsetof(TGlidraDataExt2, SliderOffset) == 110);
static_assert(offsetof(TGlidraDataExt2, SliderFactor) == 120);
static_assert(offsetof(TGlidraDataExt2, Slider) == 130);
static_assert(offsetof(TGlidraDataExt2, Keys_Updated) == 132);
static_assert(offsetof(TGlidraDataExt2, Kotrinel_FW_Version) == 133);
static_assert(offsetof(TGlidraDataExt2, Key_Max_Cycle) == 134);

static_assert(sizeof(TGlidraInput) == 2);

static_assert(sizeof(TGlidraInputExt) == 42);
static_assert(offsetof(TGlidraInputExt, SliderOffset) == 22);
static_assert(offsetof(TGlidraInputExt, SliderFactor) == 32);

static_assert(sizeof(TGlidraSettings) == 24);
static_assert(offsetof(TGlidraSettings, LastLocos) == 8);
static_assert(offsetof(TGlidraSettings, Loco_Len_Tolerance) == 16);
static_assert(offsetof(TGlidraSettings, Reserved) == 19);
static_assert(offsetof(TGlidraSettings, TestIntern) == 23);

} // namespace kavelo
