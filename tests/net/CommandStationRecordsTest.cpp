// The command-station records byte for byte, and the booster description's text operations.

#include "net/CommandStationRecords.h"

#include <cstring>
#include <gmock/gmock.h>
#include <type_traits>
#include <vector>

namespace kavelo {
namespace {

using TBytes = std::vector<uint8_t>;
using ::testing::ElementsAreArray;

template <class TRecord> TBytes BytesOf(const TRecord& record) {
  static_assert(std::is_trivially_copyable_v<TRecord>);
  TBytes bytes(sizeof(TRecord));
  std::memcpy(bytes.data(), &record, sizeof(TRecord));
  return bytes;
}

template <class TRecord> TRecord FromBytes(const TBytes& bytes) {
  TRecord record;
  EXPECT_EQ(bytes.size(), sizeof(TRecord));
  std::memcpy(&record, bytes.data(), sizeof(TRecord));
  return record;
}

TEST(CommandStationRecordsTest, EveryRecordHasItsWireSize) {
  const std::vector<std::pair<size_t, size_t>> sizes = {{sizeof(TCommonSettings), 10},
                                                        {sizeof(TMMDCCSettings), 16},
                                                        {sizeof(THwInfo), 8},
                                                        {sizeof(TSystemState), 16},
                                                        {sizeof(TRailComData), 13},
                                                        {sizeof(TCANMessage), 16},
                                                        {sizeof(TBoosterCommonSettings), 7},
                                                        {sizeof(TBoosterMMDCCSettings), 18},
                                                        {sizeof(TBoosterSystemState), 24},
                                                        {sizeof(TDecoderSystemState), 44},
                                                        {sizeof(TDecoderCVSettings), 100},
                                                        {sizeof(TBoosterDescription), 32},
                                                        {sizeof(TGlidraData), 13},
                                                        {sizeof(TGlidraDataExt), 63},
                                                        {sizeof(TGlidraDataExt2), 136},
                                                        {sizeof(TGlidraInput), 2},
                                                        {sizeof(TGlidraInputExt), 42},
                                                        {sizeof(TGlidraSettings), 24}};
  for (const auto& [actual, wire] : sizes)
    EXPECT_EQ(actual, wire);
}

TEST(CommandStationRecordsTest, EnumerationsStartAtZeroInOneByte) {
  EXPECT_EQ(static_cast<uint8_t>(TProgrammingType::ptNothing), 0);
  EXPECT_EQ(static_cast<uint8_t>(TProgrammingType::ptBoth), 3);
  EXPECT_EQ(static_cast<uint8_t>(TGlidraLocoType::LT_UNKNOWN), 3);
  EXPECT_EQ(static_cast<uint8_t>(TGlidraFindState::FIND_SCAN), 2);
  EXPECT_EQ(static_cast<uint8_t>(TGlidraStopStateType::STOP_MID), 5);
  EXPECT_EQ(static_cast<uint8_t>(TGlidraState::GLS_GO), 21);
  EXPECT_EQ(static_cast<uint8_t>(TGlidraState::GLS_TEST_RAILCOM_CV29), 30);
}

TEST(CommandStationRecordsTest, GlidraDataExtPutsItsUnalignedIntegersLittleEndian) {
  TGlidraDataExt ext{};
  ext.LocoAddress_Scan_Failed = 0xA1;
  ext.LocoCV29 = 0xA2;
  ext.Kp = 0x11223344;
  ext.PosDeviation = -2;
  ext.pwm_hi_bwd = 0xBEEF;
  ext.StopState = TGlidraStopStateType::STOP_L2;
  ext.Dis_L1 = 0x55667788;
  ext.DistanceViolation = 0x01020304;
  ext.hw_monitor_motor_2 = 0xCAFE;
  const TBytes bytes = BytesOf(ext);
  EXPECT_EQ(bytes[0], 0xA1);
  EXPECT_EQ(bytes[1], 0xA2);
  EXPECT_THAT(TBytes(bytes.begin() + 2, bytes.begin() + 6),
              ElementsAreArray({0x44, 0x33, 0x22, 0x11}));
  EXPECT_THAT(TBytes(bytes.begin() + 30, bytes.begin() + 34),
              ElementsAreArray({0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_THAT(TBytes(bytes.begin() + 36, bytes.begin() + 38), ElementsAreArray({0xEF, 0xBE}));
  EXPECT_EQ(bytes[38], 4);
  EXPECT_THAT(TBytes(bytes.begin() + 39, bytes.begin() + 43),
              ElementsAreArray({0x88, 0x77, 0x66, 0x55}));
  EXPECT_THAT(TBytes(bytes.begin() + 51, bytes.begin() + 55),
              ElementsAreArray({0x04, 0x03, 0x02, 0x01}));
  EXPECT_THAT(TBytes(bytes.begin() + 61, bytes.end()), ElementsAreArray({0xFE, 0xCA}));
}

TEST(CommandStationRecordsTest, RecordsReadTheirFieldsFromTheWireBytes) {
  const auto rail = FromBytes<TRailComData>(
      {0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xCD, 0xAB, 0x01, 0x02, 0x03, 0x04, 0x05});
  const uint16_t locoAddress = rail.LocoAddress;
  const uint32_t receiveCounter = rail.ReceiveCounter;
  const uint16_t errorCounter = rail.ErrorCounter;
  const uint8_t qos = rail.QoS;
  EXPECT_EQ(locoAddress, 0x1234);
  EXPECT_EQ(receiveCounter, 0x12345678u);
  EXPECT_EQ(errorCounter, 0xABCD);
  EXPECT_EQ(qos, 0x04);

  const auto state = FromBytes<TSystemState>({0xFF, 0xFF, 0x02, 0x00, 0x03, 0x00, 0x2A, 0x00, 0x10,
                                              0x27, 0x88, 0x13, 0x01, 0x02, 0x03, 0x04});
  const int16_t mainCurrent = state.MainCurrent;
  const uint16_t supply = state.SupplyVoltage;
  const uint8_t lastXBus = state.LastXBusAddress;
  EXPECT_EQ(mainCurrent, -1);
  EXPECT_EQ(supply, 10000);
  EXPECT_EQ(lastXBus, 0x03);

  const auto glidra =
      FromBytes<TGlidraData>({18, 1, 0x03, 0x00, 0x80, 0x34, 0x12, 0x78, 0x56, 2, 50, 7, 8});
  const uint16_t maxSpeed = glidra.Max_Speed;
  const uint16_t minSpeed = glidra.Min_Speed;
  EXPECT_EQ(glidra.State, TGlidraState::GLS_READY);
  EXPECT_EQ(glidra.LocoType, TGlidraLocoType::LT_MM_3L);
  EXPECT_EQ(maxSpeed, 0x1234);
  EXPECT_EQ(minSpeed, 0x5678);
  EXPECT_EQ(glidra.Find_State, TGlidraFindState::FIND_SCAN);

  // A flag byte that is neither 0 nor 1 is kept as it came, never read as a broken bool.
  const auto common = FromBytes<TCommonSettings>({0x02, 0x01, 0x03, 0x03, 0x00, 5, 6, 7, 8, 9});
  EXPECT_EQ(common.EnableRailCom, 0x02);
  EXPECT_EQ(common.ProgrammingType, TProgrammingType::ptBoth);
}

TEST(CommandStationRecordsTest, MMDCCSettingsAndCanMessageLayout) {
  TMMDCCSettings settings{};
  settings.ExternalSCDLimit = 0x0102;
  settings.InternalSCDLimit = 0x0304;
  settings.MMDCCFlags = 0x5A;
  settings.ProgrammingVoltage = 0xA0B0;
  EXPECT_THAT(BytesOf(settings), ElementsAreArray({0, 0, 0, 0, 0, 0, 0x02, 0x01, 0x04, 0x03, 0,
                                                   0x5A, 0, 0, 0xB0, 0xA0}));
  TCANMessage message{};
  message.Protocol = 1;
  message.Length = 2;
  message.Format = 3;
  message.Typ = 4;
  message.MessageID = 0x1A000000;
  message.Data = {9, 8, 7, 6, 5, 4, 3, 2};
  EXPECT_THAT(BytesOf(message),
              ElementsAreArray({1, 2, 3, 4, 0x00, 0x00, 0x00, 0x1A, 9, 8, 7, 6, 5, 4, 3, 2}));
}

TEST(BoosterDescriptionTest, ClearZeroesAllBytes) {
  TBoosterDescription description;
  description.Description.fill(0x41);
  description.Clear();
  EXPECT_EQ(BytesOf(description), TBytes(32, 0x00));
  EXPECT_EQ(description.ToString(), QString());
}

TEST(BoosterDescriptionTest, SetStringKeepsThirtyOneCharactersAndAZero) {
  TBoosterDescription description;
  description.Description.fill(0xEE);
  const QString forty = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd");
  ASSERT_EQ(forty.size(), 40);
  description.SetString(forty);
  const TBytes bytes = BytesOf(description);
  for (int i = 0; i < 31; ++i)
    EXPECT_EQ(bytes[i], static_cast<uint8_t>(forty[i].unicode()));
  EXPECT_EQ(bytes[31], 0x00);
  EXPECT_EQ(description.ToString(), forty.left(31));
}

TEST(BoosterDescriptionTest, SetStringZeroesEverythingAfterTheText) {
  TBoosterDescription description;
  description.Description.fill(0xEE);
  description.SetString(QStringLiteral("Boost"));
  TBytes expected(32, 0x00);
  std::memcpy(expected.data(), "Boost", 5);
  EXPECT_EQ(BytesOf(description), expected);
  EXPECT_EQ(description.ToString(), QStringLiteral("Boost"));
}

TEST(BoosterDescriptionTest, SetStringStoresTheLowEightBitsOfEachCharacter) {
  TBoosterDescription description;
  // U+0141 (L with stroke) keeps 0x41; U+00E9 fits in one byte as it is.
  description.SetString(QString(QChar(0x0141)) + QChar(0x00E9) + QChar(0x2603));
  EXPECT_EQ(description.Description[0], 0x41);
  EXPECT_EQ(description.Description[1], 0xE9);
  EXPECT_EQ(description.Description[2], 0x03);
  EXPECT_EQ(description.Description[3], 0x00);
  EXPECT_EQ(description.ToString(), QString(QChar(0x41)) + QChar(0xE9) + QChar(0x03));
}

TEST(BoosterDescriptionTest, ToStringStopsAtAnErasedByteAsAtAZero) {
  TBoosterDescription description;
  description.Description.fill(0x42);
  description.Description[3] = 0xFF;
  description.Description[5] = 0x00;
  EXPECT_EQ(description.ToString(), QStringLiteral("BBB"));
}

TEST(BoosterDescriptionTest, ToStringOfAFullRecordGivesAllThirtyTwoCharacters) {
  TBoosterDescription description;
  for (size_t i = 0; i < 32; ++i)
    description.Description[i] = static_cast<uint8_t>(0x61 + i % 26);
  const QString text = description.ToString();
  ASSERT_EQ(text.size(), 32);
  for (int i = 0; i < 32; ++i)
    EXPECT_EQ(text[i].unicode(), 0x61 + i % 26);
}

} // namespace
} // namespace kavelo
