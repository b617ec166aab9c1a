// Records, state queries, plain requests and the small commands of the command station.

#include "net/CommandStationProtocol.h"
#include "net/OrvoCommDevice.h"

namespace kavelo {

using namespace station;

namespace {

enum class TSizeRule { MustMatch, AnySize };

// One frame without waiting; the result is whether it went out.
bool Post(TOrvoCommDevice& link, uint16_t header, const uint8_t* payload = nullptr,
          size_t payloadSize = 0) {
  return link.SendFrame(header, payload, static_cast<uint16_t>(payloadSize), nullptr, 0, nullptr,
                        0);
}

// The reply is copied straight into the caller's record, cut to its size; the link reports the
// reply's true length, so a reply that is too long is refused like one that is too short.
template <class TRecord>
bool ReadRecord(TOrvoCommDevice& link, uint16_t requestHeader, uint8_t replyHeader, TRecord* record,
                bool WaitFor, TSizeRule rule) {
  if (!record) return false;
  if (!WaitFor) return Post(link, requestHeader);
  uint16_t size = 0;
  const bool answered =
      link.SendFrameEx(requestHeader, replyHeader, nullptr, 0, reinterpret_cast<uint8_t*>(record),
                       sizeof(TRecord), &size, kCommandTimeoutMs);
  return answered && (rule == TSizeRule::AnySize || size == sizeof(TRecord));
}

template <class TRecord>
bool ReadRecord(TOrvoCommDevice& link, uint16_t header, TRecord& record, bool WaitFor,
                TSizeRule rule) {
  return ReadRecord(link, header, static_cast<uint8_t>(header), &record, WaitFor, rule);
}

template <class TRecord>
bool WriteRecord(TOrvoCommDevice& link, uint16_t header, const TRecord& record) {
  return Post(link, header, reinterpret_cast<const uint8_t*>(&record), sizeof(TRecord));
}

} // namespace

// ---- reading a record ----

bool TOrvoCommDevice::CFG_ReadCommonSettings(TCommonSettings& CommonSettings, bool WaitFor) {
  return ReadRecord(*this, kCommonSettingsReadHeader, CommonSettings, WaitFor, TSizeRule::AnySize);
}

bool TOrvoCommDevice::CFG_ReadMMDCCSettings(TMMDCCSettings& MMDCCSettings, bool WaitFor) {
  return ReadRecord(*this, kMMDCCSettingsReadHeader, MMDCCSettings, WaitFor, TSizeRule::MustMatch);
}

bool TOrvoCommDevice::CFG_GetSystemState(PSystemState SystemState, bool WaitFor) {
  return ReadRecord(*this, kSystemStateRequestHeader, kSystemStateReplyHeader, SystemState, WaitFor,
                    TSizeRule::MustMatch);
}

bool TOrvoCommDevice::GetHwInfoExt(THwInfo& HwInfo, bool WaitFor) {
  return ReadRecord(*this, kHwInfoHeader, HwInfo, WaitFor, TSizeRule::MustMatch);
}

bool TOrvoCommDevice::CFG_Glidra_GetSettings(PGlidraSettings GlSettings, bool WaitFor) {
  return ReadRecord(*this, kGlidraSettingsGetHeader, static_cast<uint8_t>(kGlidraSettingsGetHeader),
                    GlSettings, WaitFor, TSizeRule::MustMatch);
}

bool TOrvoCommDevice::CFG_Glidra_GetData(PGlidraData GlData, bool WaitFor) {
  return ReadRecord(*this, kGlidraDataHeader, static_cast<uint8_t>(kGlidraDataHeader), GlData,
                    WaitFor, TSizeRule::MustMatch);
}

bool TOrvoCommDevice::CFG_Glidra_GetDataExt(PGlidraDataExt GlData, bool WaitFor) {
  return ReadRecord(*this, kGlidraDataExtHeader, static_cast<uint8_t>(kGlidraDataExtHeader), GlData,
                    WaitFor, TSizeRule::MustMatch);
}

bool TOrvoCommDevice::CFG_Glidra_GetDataExt2(PGlidraDataExt2 GlData, bool WaitFor) {
  return ReadRecord(*this, kGlidraDataExt2Header, static_cast<uint8_t>(kGlidraDataExt2Header),
                    GlData, WaitFor, TSizeRule::MustMatch);
}

bool TOrvoCommDevice::BOOST_GetSystemState(PBoosterSystemState SystemState, bool WaitFor) {
  return ReadRecord(*this, kBoosterStateRequestHeader, kBoosterStateReplyHeader, SystemState,
                    WaitFor, TSizeRule::MustMatch);
}

bool TOrvoCommDevice::BOOST_ReadDescription(TBoosterDescription& Description, bool WaitFor) {
  return ReadRecord(*this, kBoosterDescriptionReadHeader, Description, WaitFor, TSizeRule::AnySize);
}

bool TOrvoCommDevice::BOOST_ReadCommonSettings(TBoosterCommonSettings& CommonSettings,
                                               bool WaitFor) {
  return ReadRecord(*this, kBoosterCommonSettingsReadHeader, CommonSettings, WaitFor,
                    TSizeRule::AnySize);
}

bool TOrvoCommDevice::BOOST_ReadMMDCCSettings(TBoosterMMDCCSettings& MMDCCSettings, bool WaitFor) {
  return ReadRecord(*this, kBoosterMMDCCSettingsReadHeader, MMDCCSettings, WaitFor,
                    TSizeRule::MustMatch);
}

bool TOrvoCommDevice::DECODER_GetSystemState(PDecoderSystemState SystemState, bool WaitFor) {
  return ReadRecord(*this, kDecoderStateRequestHeader, kDecoderStateReplyHeader, SystemState,
                    WaitFor, TSizeRule::MustMatch);
}

bool TOrvoCommDevice::DECODER_ReadDescription(TBoosterDescription& Description, bool WaitFor) {
  return ReadRecord(*this, kDecoderDescriptionReadHeader, Description, WaitFor, TSizeRule::AnySize);
}

bool TOrvoCommDevice::DECODER_ReadCVSettings(TDecoderCVSettings& CommonSettings, bool WaitFor) {
  return ReadRecord(*this, kDecoderCVSettingsReadHeader, CommonSettings, WaitFor,
                    TSizeRule::AnySize);
}

bool TOrvoCommDevice::CFG_GetBroadcastFlags(uint32_t& BroadcastFlags) {
  uint16_t size = 0;
  // The flags are little-endian on the wire as in memory.
  const bool answered =
      SendFrame(kBroadcastFlagsGetHeader, nullptr, 0, reinterpret_cast<uint8_t*>(&BroadcastFlags),
                kBroadcastFlagsSize, &size, kCommandTimeoutMs);
  return answered && size == kBroadcastFlagsSize;
}

bool TOrvoCommDevice::CFG_RailCom_GetDataEx(uint16_t LocoAddress, PRailComData RailComData,
                                            bool WaitFor) {
  if (!RailComData) return false;
  uint8_t request[kRailComRequestSize] = {kRailComByAddress};
  WriteLE16(request + kRailComAddressOffset, LocoAddress);
  if (!WaitFor) return Post(*this, kRailComRequestHeader, request, sizeof request);
  uint16_t size = 0;
  const bool answered = SendFrameEx(kRailComRequestHeader, kRailComReplyHeader, request,
                                    sizeof request, reinterpret_cast<uint8_t*>(RailComData),
                                    sizeof(TRailComData), &size, kCommandTimeoutMs);
  return answered && size == sizeof(TRailComData);
}

bool TOrvoCommDevice::CFG_GetLocoMode(uint16_t LocoAddress, PByte DataFormatType, bool WaitFor) {
  const uint8_t request[kLocoAddressSize] = {HighByte(LocoAddress), LowByte(LocoAddress)};
  if (!WaitFor || !DataFormatType) return Post(*this, kLocoModeGetHeader, request, sizeof request);
  uint8_t reply[kLocoModeReplySize] = {};
  uint16_t size = 0;
  if (!SendFrameEx(kLocoModeGetHeader, static_cast<uint8_t>(kLocoModeGetHeader), request,
                   sizeof request, reply, sizeof reply, &size, kCommandTimeoutMs) ||
      size != kLocoModeReplySize)
    return false;
  *DataFormatType = reply[kLocoModeFormatOffset];
  return true;
}

// ---- writing a record ----

bool TOrvoCommDevice::CFG_WriteCommonSettings(const TCommonSettings& CommonSettings) {
  return WriteRecord(*this, kCommonSettingsWriteHeader, CommonSettings);
}

bool TOrvoCommDevice::CFG_WriteMMDCCSettings(const TMMDCCSettings& MMDCCSettings) {
  return WriteRecord(*this, kMMDCCSettingsWriteHeader, MMDCCSettings);
}

bool TOrvoCommDevice::CFG_SetBroadcastFlags(uint32_t BroadcastFlags) {
  fLastBroadcastFlags = BroadcastFlags;
  uint8_t payload[kBroadcastFlagsSize];
  WriteLE32(payload, BroadcastFlags);
  return Post(*this, kBroadcastFlagsSetHeader, payload, sizeof payload);
}

bool TOrvoCommDevice::CFG_Glidra_SetSettings(const TGlidraSettings& GlSettings) {
  return WriteRecord(*this, kGlidraSettingsSetHeader, GlSettings);
}

bool TOrvoCommDevice::CFG_Glidra_SetData(const TGlidraInput& GlData) {
  return WriteRecord(*this, kGlidraInputHeader, GlData);
}

bool TOrvoCommDevice::CFG_Glidra_SetDataExt(const TGlidraInputExt& GlData) {
  return WriteRecord(*this, kGlidraInputExtHeader, GlData);
}

bool TOrvoCommDevice::BOOST_WriteDescription(const TBoosterDescription& Description) {
  return WriteRecord(*this, kBoosterDescriptionWriteHeader, Description);
}

bool TOrvoCommDevice::BOOST_WriteCommonSettings(const TBoosterCommonSettings& CommonSettings) {
  return WriteRecord(*this, kBoosterCommonSettingsWriteHeader, CommonSettings);
}

bool TOrvoCommDevice::BOOST_WriteMMDCCSettings(const TBoosterMMDCCSettings& MMDCCSettings) {
  return WriteRecord(*this, kBoosterMMDCCSettingsWriteHeader, MMDCCSettings);
}

bool TOrvoCommDevice::DECODER_WriteDescription(const TBoosterDescription& Description) {
  return WriteRecord(*this, kDecoderDescriptionWriteHeader, Description);
}

bool TOrvoCommDevice::DECODER_WriteCVSettings(const TDecoderCVSettings& CommonSettings) {
  return WriteRecord(*this, kDecoderCVSettingsWriteHeader, CommonSettings);
}

// ---- plain requests ----

bool TOrvoCommDevice::GetSerialNumber() {
  return Post(*this, kSerialNumberHeader);
}
bool TOrvoCommDevice::GetHwInfo() {
  return Post(*this, kHwInfoHeader);
}
bool TOrvoCommDevice::Logoff() {
  return Post(*this, kLogoffHeader);
}
bool TOrvoCommDevice::Restart() {
  return Post(*this, kRestartHeader);
}
bool TOrvoCommDevice::Bootloader() {
  return Post(*this, kBootloaderHeader);
}
bool TOrvoCommDevice::CFG_RailCom_GetData() {
  return Post(*this, kRailComRequestHeader);
}

// ---- small commands ----

bool TOrvoCommDevice::CFG_GetQuenbusData(uint8_t GroupIndex) {
  return Post(*this, kQuenbusDataHeader, &GroupIndex, 1);
}

bool TOrvoCommDevice::CFG_ProgramQuenbusModule(uint8_t ModuleAddress) {
  return Post(*this, kQuenbusProgramHeader, &ModuleAddress, 1);
}

void TOrvoCommDevice::CFG_SetLocoMode(uint16_t LocoAddress, uint8_t DataFormatType) {
  const uint8_t payload[kLocoModeSetSize] = {HighByte(LocoAddress), LowByte(LocoAddress),
                                             DataFormatType};
  Post(*this, kLocoModeSetHeader, payload, sizeof payload);
}

bool TOrvoCommDevice::CFG_DebugReadBlock(uint32_t addr, uint8_t len) {
  uint8_t payload[kDebugReadBlockSize];
  WriteLE32(payload, addr);
  payload[kDebugReadLengthOffset] = len;
  return Post(*this, kDebugReadBlockHeader, payload, sizeof payload);
}

void TOrvoCommDevice::SnifferBus_Config(uint8_t Config) {
  Post(*this, kSnifferBusConfigHeader, &Config, 1);
}

void TOrvoCommDevice::LocoNet_DispatchAddress(uint16_t LocoAddress) {
  uint8_t payload[kLocoAddressSize];
  WriteLE16(payload, LocoAddress);
  Post(*this, kLocoNetDispatchHeader, payload, sizeof payload);
}

void TOrvoCommDevice::LocoNet_ReadSlot(uint8_t Slot) {
  const uint8_t payload[kSlotRequestSize] = {kSlotRead, Slot};
  Post(*this, kLocoNetSlotHeader, payload, sizeof payload);
}

void TOrvoCommDevice::LocoNet_SlotAllowPurging(uint8_t Slot, bool allow) {
  const uint8_t payload[kSlotRequestSize] = {allow ? kSlotAllowPurging : kSlotForbidPurging, Slot};
  Post(*this, kLocoNetSlotHeader, payload, sizeof payload);
}

void TOrvoCommDevice::LocoNet_ReportDetector(uint16_t ReportAddress) {
  uint8_t payload[kReportSize] = {kReportDetectorNone, 0x00, 0x00};
  if (ReportAddress != 0) {
    payload[0] = kReportDetector;
    // Detector addresses count from 1 here and from 0 on the bus; 0 reports no detector.
    WriteLE16(payload + kReportAddressOffset, static_cast<uint16_t>(ReportAddress - 1));
  }
  Post(*this, kLocoNetReportHeader, payload, sizeof payload);
}

void TOrvoCommDevice::LocoNet_ReportLissy(uint16_t ReportAddress) {
  uint8_t payload[kReportSize] = {kReportLissy};
  WriteLE16(payload + kReportAddressOffset, ReportAddress);
  Post(*this, kLocoNetReportHeader, payload, sizeof payload);
}

void TOrvoCommDevice::LocoNet_ReportRFID() {
  const uint8_t payload[kReportSize] = {kReportRFID, 0x00, 0x00};
  Post(*this, kLocoNetReportHeader, payload, sizeof payload);
}

void TOrvoCommDevice::CAN_ReportDetector() {
  Post(*this, kCanReportHeader, kCanReportDetectorPayload.data(), kCanReportDetectorPayload.size());
}

} // namespace kavelo
