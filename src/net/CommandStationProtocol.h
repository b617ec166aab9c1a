#pragma once
// The command station's wire format: frame headers, bus message bytes, sizes and waiting times
// of the command set, and of the two update protocols that run behind a command station.

#include <array>
#include <cstddef>
#include <cstdint>

namespace kavelo::station {

// Some payloads carry a 16-bit number high byte first; these split it.
constexpr uint8_t HighByte(uint16_t value) {
  return static_cast<uint8_t>(value >> 8);
}
constexpr uint8_t LowByte(uint16_t value) {
  return static_cast<uint8_t>(value);
}

// ---- frame headers: records, state, plain requests ----
inline constexpr uint16_t kSerialNumberHeader = 0x10;
inline constexpr uint16_t kCommonSettingsReadHeader = 0x12;
inline constexpr uint16_t kCommonSettingsWriteHeader = 0x13;
inline constexpr uint16_t kMMDCCSettingsReadHeader = 0x16;
inline constexpr uint16_t kMMDCCSettingsWriteHeader = 0x17;
inline constexpr uint16_t kHwInfoHeader = 0x1A;
inline constexpr uint16_t kLogoffHeader = 0x30;
inline constexpr uint16_t kRestartHeader = 0x31;
inline constexpr uint16_t kBootloaderHeader = 0x33;
inline constexpr uint16_t kXBusHeader = 0x40;
inline constexpr uint16_t kBroadcastFlagsSetHeader = 0x50;
inline constexpr uint16_t kBroadcastFlagsGetHeader = 0x51;
inline constexpr uint16_t kLocoModeGetHeader = 0x60;
inline constexpr uint16_t kLocoModeSetHeader = 0x61;
inline constexpr uint16_t kQuenbusDataHeader = 0x81;
inline constexpr uint16_t kQuenbusProgramHeader = 0x82;
inline constexpr uint8_t kSystemStateReplyHeader = 0x84;
inline constexpr uint16_t kSystemStateRequestHeader = 0x85;
inline constexpr uint8_t kRailComReplyHeader = 0x88;
inline constexpr uint16_t kRailComRequestHeader = 0x89;
inline constexpr uint16_t kGlidraSettingsGetHeader = 0x90;
inline constexpr uint16_t kGlidraSettingsSetHeader = 0x91;
inline constexpr uint16_t kGlidraDataHeader = 0x92;
inline constexpr uint16_t kGlidraDataExtHeader = 0x93;
inline constexpr uint16_t kGlidraDataExt2Header = 0x94;
inline constexpr uint16_t kGlidraInputHeader = 0x95;
inline constexpr uint16_t kGlidraInputExtHeader = 0x96;
inline constexpr uint16_t kSnifferBusConfigHeader = 0x9A;
inline constexpr uint16_t kLocoNetHeader = 0xA2;
inline constexpr uint16_t kLocoNetDispatchHeader = 0xA3;
inline constexpr uint16_t kLocoNetReportHeader = 0xA4;
inline constexpr uint16_t kLocoNetSlotHeader = 0xAF;
inline constexpr uint16_t kBoosterDescriptionReadHeader = 0xB8;
inline constexpr uint16_t kBoosterDescriptionWriteHeader = 0xB9;
inline constexpr uint8_t kBoosterStateReplyHeader = 0xBA;
inline constexpr uint16_t kBoosterStateRequestHeader = 0xBB;
inline constexpr uint16_t kBoosterCommonSettingsReadHeader = 0xBC;
inline constexpr uint16_t kBoosterCommonSettingsWriteHeader = 0xBD;
inline constexpr uint16_t kBoosterMMDCCSettingsReadHeader = 0xBE;
inline constexpr uint16_t kBoosterMMDCCSettingsWriteHeader = 0xBF;
inline constexpr uint16_t kCanHeader = 0xC2;
inline constexpr uint16_t kCanReportHeader = 0xC4;
inline constexpr uint16_t kDecoderDescriptionReadHeader = 0xD8;
inline constexpr uint16_t kDecoderDescriptionWriteHeader = 0xD9;
inline constexpr uint8_t kDecoderStateReplyHeader = 0xDA;
inline constexpr uint16_t kDecoderStateRequestHeader = 0xDB;
inline constexpr uint16_t kDecoderCVSettingsReadHeader = 0xDC;
inline constexpr uint16_t kDecoderCVSettingsWriteHeader = 0xDD;
inline constexpr uint16_t kDebugReadBlockHeader = 0xF8;

// ---- payload layouts of the small requests ----
inline constexpr size_t kBroadcastFlagsSize = 4;
inline constexpr uint8_t kRailComByAddress = 0x01;
inline constexpr size_t kRailComRequestSize = 3; // kRailComByAddress, address
inline constexpr size_t kRailComAddressOffset = 1;
inline constexpr size_t kLocoAddressSize = 2;
inline constexpr size_t kLocoModeReplySize = 3; // address (high byte first), format
inline constexpr size_t kLocoModeFormatOffset = 2;
inline constexpr size_t kLocoModeSetSize = 3;
inline constexpr size_t kDebugReadBlockSize = 5; // address (4 bytes), length
inline constexpr size_t kDebugReadLengthOffset = 4;
inline constexpr size_t kSlotRequestSize = 2; // what to do, slot
inline constexpr uint8_t kSlotRead = 0x00;
inline constexpr uint8_t kSlotAllowPurging = 0x01;
inline constexpr uint8_t kSlotForbidPurging = 0x02;
inline constexpr size_t kReportSize = 3; // kind, address (2 bytes)
inline constexpr size_t kReportAddressOffset = 1;
inline constexpr uint8_t kReportDetectorNone = 0x80; // address 0: no detector
inline constexpr uint8_t kReportDetector = 0x81;     // followed by address - 1
inline constexpr uint8_t kReportLissy = 0x82;
inline constexpr uint8_t kReportRFID = 0xA0;
inline constexpr std::array<uint8_t, 3> kCanReportDetectorPayload{0x00, 0x00, 0xD0};

// ---- X-Bus messages (sent with their XOR byte in a kXBusHeader frame) ----
inline constexpr uint8_t kXDataCountMask = 0x0F;
inline constexpr size_t kXMaxMessageSize = 17; // X-header, 15 data bytes, XOR
inline constexpr uint8_t kXTrackPower = 0x21;
inline constexpr uint8_t kXTrackPowerOn = 0x81;
inline constexpr uint8_t kXTrackPowerOff = 0x80;
inline constexpr uint8_t kXEmergencyStop = 0x80;
inline constexpr uint8_t kXFirmwareVersion = 0xF1;
inline constexpr uint8_t kXFirmwareVersionQuery = 0x0A;
inline constexpr uint8_t kXTurnoutSet = 0x53;
inline constexpr uint8_t kXTurnoutSetBase = 0x80;
inline constexpr uint8_t kXTurnoutActivate = 0x08;
inline constexpr uint8_t kXTurnoutOutput2 = 0x01;
inline constexpr uint8_t kXTurnoutSecondOutput = 2; // the Output value that selects it
inline constexpr uint8_t kXExtTurnoutSet = 0x54;
inline constexpr uint8_t kXTurnoutInfo = 0x43;
// The turnout query's X-header does not state its data count; it carries two data bytes.
inline constexpr uint8_t kXTurnoutInfoDataCount = 2;
inline constexpr uint8_t kXPom = 0xE6;
inline constexpr uint8_t kXPomLoco = 0x30;
inline constexpr uint8_t kXPomAccessory = 0x31;
inline constexpr uint8_t kXPomLocoAddressMark = 0xC0;
inline constexpr uint8_t kXPomReadByte = 0xE4;
inline constexpr uint8_t kXPomWriteByte = 0xEC;
inline constexpr uint8_t kXPomWriteBit = 0xE8;
inline constexpr uint8_t kXPomCVHighMask = 0x03; // CV bits 8 and 9
inline constexpr uint8_t kXPomBitPositionMask = 0x07;
inline constexpr uint8_t kXPomBitValue = 0x08;
inline constexpr unsigned kXPomDecoderAddressShift = 4;
inline constexpr uint8_t kXPomOutputMask = 0x07;
inline constexpr uint8_t kXPomOutputGiven = 0x08;

// ---- LocoNet messages (kLocoNetHeader frames) ----
inline constexpr uint8_t kLocoNetCheckSeed = 0xFF; // XOR of message and check byte is 0xFF
inline constexpr size_t kLnCvMessageSize = 15;
inline constexpr uint8_t kLnCvCheckedLength = 14; // all bytes before the check byte
inline constexpr std::array<uint8_t, 5> kLnCvPrefix{0xED, 0x0F, 0x08, 0x05, 0x00};
inline constexpr uint8_t kLnCvRequest = 0x21;
inline constexpr uint8_t kLnCvWrite = 0x20;
inline constexpr size_t kLnCvHighBitsOffset = 6;
inline constexpr size_t kLnCvFirstDataOffset = 7;
inline constexpr size_t kLnCvDataCount = 7; // bytes 7 to 13 lend their bit 7 to byte 6
inline constexpr uint8_t kLocoNetDataMask = 0x7F;
inline constexpr uint8_t kLocoNetHighBit = 0x80;

// ---- CAN messages (kCanHeader frames) and ZCAN identifiers ----
inline constexpr uint32_t kZcanIdBase = 0x10000000;
inline constexpr unsigned kZcanGroupShift = 24;
inline constexpr unsigned kZcanCommandShift = 18;
inline constexpr unsigned kZcanModeShift = 16;
inline constexpr uint32_t kZcanModeRequest = 0;
inline constexpr uint32_t kZcanModeCommand = 1;
inline constexpr uint32_t kZcanModeEvent = 2;
inline constexpr uint32_t kZcanModeAck = 3;
inline constexpr uint8_t kZcanProtocol = 0;
inline constexpr uint8_t kZcanFormat = 1;
inline constexpr uint8_t kZcanTyp = 0;
inline constexpr uint32_t kZcanPingGroup = 0x0A;
inline constexpr uint32_t kZcanPingCommand = 0;
inline constexpr uint8_t kZcanPingLength = 2;
inline constexpr uint32_t kZcanInfoGroup = 8;
inline constexpr uint32_t kZcanModuleInfoCommand = 8;
inline constexpr uint8_t kZcanModuleInfoLength = 4;
inline constexpr uint16_t kZcanBoosterNid = 0xC100;

// A ZCAN message identifier: the fixed bit 28, group, command, mode and network id.
constexpr uint32_t ZcanId(uint32_t grp, uint32_t cmd, uint32_t mode, uint16_t nid) {
  return kZcanIdBase | (grp << kZcanGroupShift) | (cmd << kZcanCommandShift) |
         (mode << kZcanModeShift) | nid;
}

// ---- handheld boot loader behind the tunnel (kTunnelHeader frames) ----
inline constexpr uint8_t kHmuKind = 0xD0; // high nibble of every X-header, sent and received
inline constexpr uint8_t kHmuKindMask = 0xF0;
inline constexpr size_t kHmuReplyBufferSize = 32768;
inline constexpr int32_t kHmuMinPositiveReply = 3; // X-header, echo, at least one byte
inline constexpr size_t kHmuEchoOffset = 1;
inline constexpr std::array<uint8_t, 3> kHmuEnterTestMode{0xD2, 0x01, 0x00};
inline constexpr uint8_t kHmuEnterTestModeEcho = 0x01;
inline constexpr std::array<uint8_t, 3> kHmuExitTestMode{0xD2, 0x00, 0x00};
inline constexpr uint8_t kHmuExitTestModeEcho = 0x00;
inline constexpr uint8_t kHmuOneByteHeader = 0xD1; // X-header of a one-byte command
inline constexpr uint8_t kHmuVersionInfo = 0x0B;
inline constexpr int32_t kHmuVersionReplySize = 6; // X-header, echo, X-Bus version, sub, software
inline constexpr size_t kHmuXBusVersionOffset = 2;
inline constexpr size_t kHmuXBusSubVersionOffset = 3;
inline constexpr size_t kHmuSoftwareVersionOffset = 4; // high byte first
inline constexpr uint8_t kHmuEnterBootMode = 0xD0;
inline constexpr uint8_t kHmuInitData = 0xD1;
inline constexpr uint8_t kHmuExitBootMode = 0xD4;
inline constexpr uint8_t kHmuResetIntoBootMode = 0xDD;
inline constexpr uint8_t kHmuResetCPU = 0x09;
inline constexpr uint8_t kHmuWriteDataHeader = 0xD3;
inline constexpr uint8_t kHmuWriteData = 0xD3;
inline constexpr uint8_t kHmuSendData = 0xD2; // X-header is kHmuOneByteHeader + data count
inline constexpr int32_t kHmuMaxDataPerMessage = 14;
inline constexpr size_t kHmuSendDataHeadSize = 2; // X-header, kHmuSendData
inline constexpr size_t kHmuBlockSize = 128;
inline constexpr int32_t kHmuBlockSendFailed = -2;
inline constexpr int32_t kHmuBlockRefused = -3;
inline constexpr uint32_t kHmuResetPollMs = 5000;

// ---- decoder update (caller-built kResultHeader frames, answered by a result frame) ----
inline constexpr size_t kDuxFrameHeadSize = 16;
inline constexpr size_t kDuxHeaderOffset = 2;
inline constexpr size_t kDuxCommandOffset = 4;
inline constexpr size_t kDuxRepeatsOffset = 5;
inline constexpr size_t kDuxDataLengthOffset = 6;
inline constexpr size_t kDuxDelayBetweenBytesOffset = 8;
inline constexpr size_t kDuxDelayBetweenPackagesOffset = 10;
inline constexpr size_t kDuxMaxWaitTimeOffset = 12;
inline constexpr size_t kDuxShortFrameSize = 5; // length, header, command: no data
inline constexpr uint16_t kDuxMaxDataLength = 261;
inline constexpr uint8_t kDuxDisable = 1;
inline constexpr uint8_t kDuxEnable = 2;
inline constexpr uint8_t kDuxDecoderCommand = 4;
inline constexpr uint8_t kDuxReadCV = 0x01;
inline constexpr uint8_t kDuxReadNextBit = 0xFF;
inline constexpr uint8_t kDuxReadDecoderType = 0x04;
inline constexpr std::array<uint8_t, 2> kDuxWriteCVPrefix{0x02, 0xAA};
inline constexpr std::array<uint8_t, 2> kDuxFlashPrefix{0x03, 0x55};
inline constexpr std::array<uint8_t, 2> kDuxEraseAll{0xFF, 0xFF};
inline constexpr size_t kDuxFlashBlockSize = 256;
inline constexpr int32_t kDuxResultDone = 0; // enable, disable
inline constexpr int32_t kDuxResultBitZero = 1;
inline constexpr int32_t kDuxResultBitOne = 2;
inline constexpr int32_t kDuxResultCVWritten = 1;
inline constexpr int32_t kDuxResultFlashWritten = 2;
inline constexpr int kDuxBitsPerCV = 8;
// A frame's MaxWaitTime is the station's own limit and counts microseconds; the tool waits for
// the result that long (in whole milliseconds) plus a second for the round trip.
inline constexpr uint32_t kDuxSwitchMaxWaitUs = 500;
inline constexpr uint32_t kDuxCVMaxWaitUs = 10000;
inline constexpr uint32_t kDuxEraseMaxWaitUs = 60000000;
inline constexpr uint32_t kDuxWriteFlashMaxWaitUs = 100000;
inline constexpr uint32_t kDuxUsPerMs = 1000;
inline constexpr uint32_t kDuxWaitSlackMs = 1000;

constexpr uint32_t DuxWaitMs(uint32_t maxWaitTimeUs) {
  return maxWaitTimeUs / kDuxUsPerMs + kDuxWaitSlackMs;
}

} // namespace kavelo::station
