// Messages passed through to the X-Bus and to LocoNet.

#include "net/CommandStationProtocol.h"
#include "net/OrvoCommDevice.h"

#include <algorithm>
#include <array>

namespace kavelo {

using namespace station;

namespace {

// Room for the longest X-Bus message with its XOR byte. Unused bytes stay 0, so a message
// whose X-header counts more data than it names carries zeros, never stale memory.
using TXMessage = std::array<uint8_t, kXMaxMessageSize>;

// A decoder address for programming on the main: four address bits per output number.
uint16_t AccessoryWord(uint16_t DecoderAddress, uint8_t OutputNr) {
  uint16_t w = static_cast<uint16_t>((DecoderAddress << kXPomDecoderAddressShift) |
                                     (OutputNr & kXPomOutputMask));
  if (OutputNr != 0) w = static_cast<uint16_t>(w + kXPomOutputGiven);
  return w;
}

// The programming-on-the-main message: target (two bytes), instruction with CV bits 8 and 9,
// CV low byte, value. The CV number goes out as given.
TXMessage PomMessage(uint8_t target, uint8_t target1, uint8_t target2, uint8_t instruction,
                     uint16_t CV, uint8_t value) {
  return {kXPom,
          target,
          target1,
          target2,
          static_cast<uint8_t>(instruction + ((CV >> 8) & kXPomCVHighMask)),
          LowByte(CV),
          value};
}

TXMessage LocoPom(uint16_t LocoAddress, uint8_t instruction, uint16_t CV, uint8_t value) {
  return PomMessage(kXPomLoco, static_cast<uint8_t>(kXPomLocoAddressMark | HighByte(LocoAddress)),
                    LowByte(LocoAddress), instruction, CV, value);
}

TXMessage AccessoryPom(uint16_t DecoderAddress, uint8_t OutputNr, uint8_t instruction, uint16_t CV,
                       uint8_t value) {
  const uint16_t w = AccessoryWord(DecoderAddress, OutputNr);
  return PomMessage(kXPomAccessory, HighByte(w), LowByte(w), instruction, CV, value);
}

uint8_t BitValue(uint8_t BitPos, bool Value) {
  return static_cast<uint8_t>((BitPos & kXPomBitPositionMask) + (Value ? kXPomBitValue : 0));
}

// The turnout address on the wire counts from 0.
TXMessage TurnoutMessage(uint8_t xHeader, uint16_t TurnoutAddress) {
  const uint16_t a = static_cast<uint16_t>(TurnoutAddress - 1);
  return {xHeader, HighByte(a), LowByte(a)};
}

bool SendXMessage(TOrvoCommDevice& link, const uint8_t* message, size_t size, bool broadcast) {
  const uint16_t length = static_cast<uint16_t>(size);
  return broadcast ? link.BroadcastFrame(kXBusHeader, message, length, nullptr, 0, nullptr, 0)
                   : link.SendFrame(kXBusHeader, message, length, nullptr, 0, nullptr, 0);
}

} // namespace

// ---- X-Bus ----

bool TOrvoCommDevice::XPressNet(PByteArray Buffer, bool BroadCast) {
  if (!Buffer) return false;
  const size_t n = Buffer[0] & kXDataCountMask;
  Buffer[n + 1] = XorOf(Buffer, n + 1);
  return SendXMessage(*this, Buffer, n + 2, BroadCast);
}

bool TOrvoCommDevice::XPressNet(PByteArray Buffer, uint8_t len) {
  if (!Buffer) return false;
  const size_t n = len;
  Buffer[n + 1] = XorOf(Buffer, n + 1);
  return SendXMessage(*this, Buffer, n + 2, false);
}

bool TOrvoCommDevice::SetTrackPowerOn() {
  TXMessage m{kXTrackPower, kXTrackPowerOn};
  return XPressNet(m.data(), false);
}

bool TOrvoCommDevice::SetTrackPowerOff() {
  TXMessage m{kXTrackPower, kXTrackPowerOff};
  return XPressNet(m.data(), false);
}

bool TOrvoCommDevice::SetTrackEmergencyStop() {
  TXMessage m{kXEmergencyStop};
  return XPressNet(m.data(), false);
}

bool TOrvoCommDevice::GetFwVersion() {
  TXMessage m{kXFirmwareVersion, kXFirmwareVersionQuery};
  return XPressNet(m.data(), false);
}

bool TOrvoCommDevice::SetTurnout(uint16_t TurnoutAddress, bool Activate, uint8_t Output,
                                 bool BroadCast) {
  TXMessage m = TurnoutMessage(kXTurnoutSet, TurnoutAddress);
  m[3] = static_cast<uint8_t>(kXTurnoutSetBase + (Activate ? kXTurnoutActivate : 0) +
                              (Output == kXTurnoutSecondOutput ? kXTurnoutOutput2 : 0));
  return XPressNet(m.data(), BroadCast);
}

bool TOrvoCommDevice::SetExtTurnout(uint16_t TurnoutAddress, uint8_t Data) {
  TXMessage m = TurnoutMessage(kXExtTurnoutSet, TurnoutAddress);
  m[3] = Data;
  return XPressNet(m.data(), false);
}

bool TOrvoCommDevice::GetTurnout(uint16_t TurnoutAddress) {
  TXMessage m = TurnoutMessage(kXTurnoutInfo, TurnoutAddress);
  return XPressNet(m.data(), kXTurnoutInfoDataCount);
}

bool TOrvoCommDevice::POM_ReadByte(uint16_t LocoAddress, uint16_t CV) {
  TXMessage m = LocoPom(LocoAddress, kXPomReadByte, CV, 0x00);
  return XPressNet(m.data(), false);
}

bool TOrvoCommDevice::POM_WriteByte(uint16_t LocoAddress, uint16_t CV, uint8_t Value) {
  TXMessage m = LocoPom(LocoAddress, kXPomWriteByte, CV, Value);
  return XPressNet(m.data(), false);
}

bool TOrvoCommDevice::POM_WriteBit(uint16_t LocoAddress, uint16_t CV, uint8_t BitPos, bool Value) {
  TXMessage m = LocoPom(LocoAddress, kXPomWriteBit, CV, BitValue(BitPos, Value));
  return XPressNet(m.data(), false);
}

bool TOrvoCommDevice::POM_ReadByteAccessory(uint16_t DecoderAddress, uint8_t OutputNr,
                                            uint16_t CV) {
  TXMessage m = AccessoryPom(DecoderAddress, OutputNr, kXPomReadByte, CV, 0x00);
  return XPressNet(m.data(), false);
}

bool TOrvoCommDevice::POM_WriteByteAccessory(uint16_t DecoderAddress, uint8_t OutputNr, uint16_t CV,
                                             uint8_t Value) {
  TXMessage m = AccessoryPom(DecoderAddress, OutputNr, kXPomWriteByte, CV, Value);
  return XPressNet(m.data(), false);
}

bool TOrvoCommDevice::POM_WriteBitAccessory(uint16_t DecoderAddress, uint8_t OutputNr, uint16_t CV,
                                            uint8_t BitPos, bool Value) {
  TXMessage m = AccessoryPom(DecoderAddress, OutputNr, kXPomWriteBit, CV, BitValue(BitPos, Value));
  return XPressNet(m.data(), false);
}

// ---- LocoNet ----

bool TOrvoCommDevice::LocoNet_Send(PByteArray Buffer, uint8_t len) {
  if (!Buffer) return false;
  Buffer[len] = static_cast<uint8_t>(kLocoNetCheckSeed ^ XorOf(Buffer, len));
  return SendFrame(kLocoNetHeader, Buffer, static_cast<uint16_t>(len + 1), nullptr, 0, nullptr, 0);
}

namespace {

// LocoNet data bytes carry 7 bits; bit 7 of each of bytes 7 to 13 travels in byte 6.
std::array<uint8_t, kLnCvMessageSize> LnCvMessage(uint8_t kind, uint16_t LnCvClass, uint16_t LnCvNr,
                                                  uint16_t LnCvVal, uint8_t Flags) {
  std::array<uint8_t, kLnCvMessageSize> m{};
  std::copy(kLnCvPrefix.begin(), kLnCvPrefix.end(), m.begin());
  m[kLnCvPrefix.size()] = kind;
  uint8_t* data = m.data() + kLnCvFirstDataOffset;
  WriteLE16(data, LnCvClass);
  WriteLE16(data + 2, LnCvNr);
  WriteLE16(data + 4, LnCvVal);
  data[6] = Flags;
  uint8_t highBits = 0;
  for (size_t k = 0; k < kLnCvDataCount; ++k) {
    if (data[k] & kLocoNetHighBit) highBits = static_cast<uint8_t>(highBits | (1u << k));
    data[k] &= kLocoNetDataMask;
  }
  m[kLnCvHighBitsOffset] = highBits;
  return m;
}

} // namespace

bool TOrvoCommDevice::LocoNet_CV_Cfg_Request(uint16_t LnCvClass, uint16_t LnCvNr, uint16_t LnCvVal,
                                             uint8_t Flags) {
  auto m = LnCvMessage(kLnCvRequest, LnCvClass, LnCvNr, LnCvVal, Flags);
  return LocoNet_Send(m.data(), kLnCvCheckedLength);
}

bool TOrvoCommDevice::LocoNet_CV_Cfg_Write(uint16_t LnCvClass, uint16_t LnCvNr, uint16_t LnCvVal) {
  auto m = LnCvMessage(kLnCvWrite, LnCvClass, LnCvNr, LnCvVal, 0x00);
  return LocoNet_Send(m.data(), kLnCvCheckedLength);
}

} // namespace kavelo
