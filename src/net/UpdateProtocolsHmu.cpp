// A handheld's boot loader reached through the command station's tunnel.

#include "net/CommandStationProtocol.h"
#include "net/OrvoCommDevice.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <vector>

namespace kavelo {

using namespace station;

namespace {

struct TTunnelReply {
  int32_t Length = -1; // TunnelRequest's result
  std::vector<uint8_t> Data = std::vector<uint8_t>(kHmuReplyBufferSize);
};

TTunnelReply Ask(TOrvoCommDevice& link, const uint8_t* message) {
  TTunnelReply reply;
  reply.Length =
      link.TunnelRequest(message, reply.Data.data(), static_cast<uint16_t>(reply.Data.size()));
  return reply;
}

// The boot loader answers with its own kind in the X-header and echoes the command byte.
bool IsPositive(const TTunnelReply& reply, uint8_t echo) {
  return reply.Length >= kHmuMinPositiveReply && (reply.Data[0] & kHmuKindMask) == kHmuKind &&
         reply.Data[kHmuEchoOffset] == echo;
}

bool AskOneByteCommand(TOrvoCommDevice& link, uint8_t command) {
  const uint8_t message[] = {kHmuOneByteHeader, command};
  return IsPositive(Ask(link, message), command);
}

} // namespace

bool TOrvoCommDevice::HMU_EnterTestMode() {
  return IsPositive(Ask(*this, kHmuEnterTestMode.data()), kHmuEnterTestModeEcho);
}

bool TOrvoCommDevice::HMU_ExitTestMode() {
  return IsPositive(Ask(*this, kHmuExitTestMode.data()), kHmuExitTestModeEcho);
}

bool TOrvoCommDevice::HMU_GetVersionInfo(uint8_t& XBusVersion, uint8_t& XBusSubVersion,
                                         uint16_t& SoftwareVersion) {
  const uint8_t message[] = {kHmuOneByteHeader, kHmuVersionInfo};
  const TTunnelReply reply = Ask(*this, message);
  // A positive reply too short for the version fields is no answer: its missing bytes would
  // otherwise be read from whatever the buffer held.
  if (!IsPositive(reply, kHmuVersionInfo) || reply.Length < kHmuVersionReplySize) {
    XBusVersion = 0;
    XBusSubVersion = 0;
    SoftwareVersion = 0;
    return false;
  }
  XBusVersion = reply.Data[kHmuXBusVersionOffset];
  XBusSubVersion = reply.Data[kHmuXBusSubVersionOffset];
  // The software version travels high byte first, unlike the link's records.
  const uint8_t* software = reply.Data.data() + kHmuSoftwareVersionOffset;
  SoftwareVersion = static_cast<uint16_t>(software[0] << 8 | software[1]);
  return true;
}

bool TOrvoCommDevice::HMU_EnterBootMode() {
  return AskOneByteCommand(*this, kHmuEnterBootMode);
}

bool TOrvoCommDevice::HMU_InitData() {
  return AskOneByteCommand(*this, kHmuInitData);
}

bool TOrvoCommDevice::HMU_ExitBootMode() {
  return AskOneByteCommand(*this, kHmuExitBootMode);
}

bool TOrvoCommDevice::HMU_ResetIntoBootMode() {
  // The handheld restarts on this command, so whatever comes back says nothing.
  const uint8_t message[] = {kHmuOneByteHeader, kHmuResetIntoBootMode};
  Ask(*this, message);
  return true;
}

bool TOrvoCommDevice::HMU_WriteData(uint8_t Segment, uint8_t CheckSum) {
  const uint8_t message[] = {kHmuWriteDataHeader, kHmuWriteData, Segment, CheckSum};
  return IsPositive(Ask(*this, message), kHmuWriteData);
}

int32_t TOrvoCommDevice::HMU_SendData(const uint8_t* Data, int32_t DataSize) {
  if (!Data || DataSize < 0) return -1;
  const int32_t n = std::min(DataSize, kHmuMaxDataPerMessage);
  std::array<uint8_t, kHmuSendDataHeadSize + kHmuMaxDataPerMessage> message{};
  message[0] = static_cast<uint8_t>(kHmuOneByteHeader + n);
  message[1] = kHmuSendData;
  std::copy(Data, Data + n, message.begin() + kHmuSendDataHeadSize);
  return TunnelRequest(message.data(), nullptr, 0) == 0 ? n : -1;
}

bool TOrvoCommDevice::HMU_Release() {
  return TunnelRequest(nullptr, nullptr, 0) == 0;
}

bool TOrvoCommDevice::HMU_ResetCPU(bool Wait) {
  const uint8_t reset[] = {kHmuOneByteHeader, kHmuResetCPU};
  Ask(*this, reset); // the CPU restarts: its answer, if any, is not judged
  if (!Wait) return true;
  // The boot loader is back once it answers the version query again.
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(kHmuResetPollMs))
    if (AskOneByteCommand(*this, kHmuVersionInfo)) return true;
  return false;
}

int32_t TOrvoCommDevice::HMU_WriteBlock(uint8_t Segment, const uint8_t* Data) {
  if (!Data) return -1;
  if (!HMU_InitData()) return kHmuBlockRefused;
  const uint8_t checkSum = XorOf(Data, kHmuBlockSize);
  // Each byte after the first goes out as the complement of its difference to the one before.
  std::array<uint8_t, kHmuBlockSize> encoded{};
  encoded[0] = Data[0];
  for (size_t i = 1; i < kHmuBlockSize; ++i)
    encoded[i] = static_cast<uint8_t>(~(Data[i - 1] ^ Data[i]));
  size_t position = 0;
  while (position < kHmuBlockSize) {
    const int32_t sent =
        HMU_SendData(encoded.data() + position, static_cast<int32_t>(kHmuBlockSize - position));
    if (sent <= 0) return kHmuBlockSendFailed;
    position += static_cast<size_t>(sent);
  }
  return HMU_WriteData(Segment, checkSum) ? static_cast<int32_t>(kHmuBlockSize) : kHmuBlockRefused;
}

} // namespace kavelo
