// The decoder update: caller-built frames that the command station answers with a result byte.

#include "net/CommandStationProtocol.h"
#include "net/OrvoCommDevice.h"

#include <algorithm>
#include <vector>

namespace kavelo {

using namespace station;

int32_t TOrvoCommDevice::DUX_Send(uint8_t Command, const uint8_t* Data, uint16_t DataLength,
                                  uint8_t Repeats, uint16_t DelayBetweenBytes,
                                  uint16_t DelayBetweenPackages, uint32_t MaxWaitTime) {
  // More data than the command station takes would also wrap the frame's length field.
  if (!Data || DataLength > kDuxMaxDataLength) return -1;
  std::vector<uint8_t> frame(kDuxFrameHeadSize + DataLength);
  WriteLE16(frame.data(), static_cast<uint16_t>(frame.size()));
  WriteLE16(frame.data() + kDuxHeaderOffset, kResultHeader);
  frame[kDuxCommandOffset] = Command;
  frame[kDuxRepeatsOffset] = Repeats;
  WriteLE16(frame.data() + kDuxDataLengthOffset, DataLength);
  WriteLE16(frame.data() + kDuxDelayBetweenBytesOffset, DelayBetweenBytes);
  WriteLE16(frame.data() + kDuxDelayBetweenPackagesOffset, DelayBetweenPackages);
  WriteLE32(frame.data() + kDuxMaxWaitTimeOffset, MaxWaitTime);
  std::copy(Data, Data + DataLength, frame.begin() + kDuxFrameHeadSize);
  return SendRawFrame(frame.data(), static_cast<uint16_t>(frame.size()), DuxWaitMs(MaxWaitTime));
}

int32_t TOrvoCommDevice::DUX_Send(uint8_t Command, const std::vector<uint8_t>& Data,
                                  uint8_t Repeats, uint16_t DelayBetweenBytes,
                                  uint16_t DelayBetweenPackages, uint32_t MaxWaitTime) {
  if (Data.empty()) {
    uint8_t frame[kDuxShortFrameSize];
    WriteLE16(frame, kDuxShortFrameSize);
    WriteLE16(frame + kDuxHeaderOffset, kResultHeader);
    frame[kDuxCommandOffset] = Command;
    return SendRawFrame(frame, sizeof frame, DuxWaitMs(MaxWaitTime));
  }
  if (Data.size() > kDuxMaxDataLength) return -1;
  return DUX_Send(Command, Data.data(), static_cast<uint16_t>(Data.size()), Repeats,
                  DelayBetweenBytes, DelayBetweenPackages, MaxWaitTime);
}

bool TOrvoCommDevice::DUX_Enable() {
  return DUX_Send(kDuxEnable, std::vector<uint8_t>{}, 0, 0, 0, kDuxSwitchMaxWaitUs) ==
         kDuxResultDone;
}

bool TOrvoCommDevice::DUX_Disable() {
  return DUX_Send(kDuxDisable, std::vector<uint8_t>{}, 0, 0, 0, kDuxSwitchMaxWaitUs) ==
         kDuxResultDone;
}

namespace {

// The decoder answers one bit per request, lowest first: 2 for a 1, 1 for a 0; anything
// below 1 ends the read. The bits read so far stay in value.
bool ReadBits(TOrvoCommDevice& link, const std::vector<uint8_t>& firstRequest, uint8_t& value) {
  value = 0;
  int32_t r = link.DUX_Send(kDuxDecoderCommand, firstRequest, 0, 0, 0, kDuxCVMaxWaitUs);
  if (r <= 0) return false;
  if (r == kDuxResultBitOne) value = 1;
  for (int bit = 1; bit < kDuxBitsPerCV && r >= kDuxResultBitZero; ++bit) {
    r = link.DUX_Send(kDuxDecoderCommand, std::vector<uint8_t>{kDuxReadNextBit}, 0, 0, 0,
                      kDuxCVMaxWaitUs);
    if (r == kDuxResultBitOne) value = static_cast<uint8_t>(value | (1u << bit));
  }
  return r >= kDuxResultBitZero;
}

} // namespace

bool TOrvoCommDevice::DUX_ReadCV(uint16_t CV, uint8_t& Value) {
  return ReadBits(*this, {kDuxReadCV, HighByte(CV), LowByte(CV)}, Value);
}

bool TOrvoCommDevice::DUX_ReadDecoderType(uint8_t& DecoderType) {
  return ReadBits(*this, {kDuxReadDecoderType}, DecoderType);
}

bool TOrvoCommDevice::DUX_WriteCV(uint16_t CV, uint8_t Value) {
  const std::vector<uint8_t> data{kDuxWriteCVPrefix[0], kDuxWriteCVPrefix[1], HighByte(CV),
                                  LowByte(CV), Value};
  return DUX_Send(kDuxDecoderCommand, data, 0, 0, 0, kDuxCVMaxWaitUs) == kDuxResultCVWritten;
}

int32_t TOrvoCommDevice::DUX_EraseFlash() {
  const std::vector<uint8_t> data{kDuxFlashPrefix[0], kDuxFlashPrefix[1], kDuxEraseAll[0],
                                  kDuxEraseAll[1]};
  return DUX_Send(kDuxDecoderCommand, data, 0, 0, 0, kDuxEraseMaxWaitUs);
}

bool TOrvoCommDevice::DUX_WriteFlash(uint32_t Address, const uint8_t* Data) {
  if (!Data) return false;
  // Prefix, address bits 16 to 23 and 8 to 15, the block, and the XOR of the block.
  std::vector<uint8_t> data{kDuxFlashPrefix[0], kDuxFlashPrefix[1],
                            static_cast<uint8_t>(Address >> 16),
                            static_cast<uint8_t>(Address >> 8)};
  data.insert(data.end(), Data, Data + kDuxFlashBlockSize);
  data.push_back(XorOf(Data, kDuxFlashBlockSize));
  return DUX_Send(kDuxDecoderCommand, data.data(), static_cast<uint16_t>(data.size()), 0, 0, 0,
                  kDuxWriteFlashMaxWaitUs) == kDuxResultFlashWritten;
}

} // namespace kavelo
