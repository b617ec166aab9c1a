#include "handheld/KaveloComm.h"

#include "handheld/HandheldProtocol.h"

namespace kavelo {

using namespace handheld;

namespace {
TDataReceivedEvent Adapt(TKaveloComm* self, TKaveloDataEvent handler) {
  if (!handler) return {};
  return [self, handler](TOrvoCommDevice*, uint16_t header, const uint8_t* data, uint16_t size) {
    handler(self, header, data, size);
  };
}
} // namespace

TKaveloComm::TKaveloComm(uint32_t aIPAddress, TKaveloDataEvent aHandler, uint16_t udpPort,
                         uint16_t localPort)
    : TOrvoCommDevice(aIPAddress, Adapt(this, std::move(aHandler)), udpPort, localPort) {}

bool TKaveloComm::Transmit(const uint8_t* Buffer, uint16_t Length) {
  if (Length < kFrameHeadSize) return false;
  return TOrvoCommDevice::SendFrame(ReadLE16(Buffer + 2), Buffer + kFrameHeadSize,
                                    static_cast<uint16_t>(Length - kFrameHeadSize), nullptr, 0,
                                    nullptr, 0);
}

bool TKaveloComm::Broadcast(const uint8_t* Buffer, uint16_t Length) {
  if (Length < kFrameHeadSize) return false;
  return BroadcastFrame(ReadLE16(Buffer + 2), Buffer + kFrameHeadSize,
                        static_cast<uint16_t>(Length - kFrameHeadSize), nullptr, 0, nullptr, 0);
}

bool TKaveloComm::Restart() {
  const uint8_t frame[] = {0x04, 0x00, kRestartHeader & 0xFF, kRestartHeader >> 8};
  return Transmit(frame, sizeof frame);
}

bool TKaveloComm::PowerOff() {
  const uint8_t frame[] = {0x04, 0x00, kPowerOffHeader & 0xFF, kPowerOffHeader >> 8};
  return Transmit(frame, sizeof frame);
}

bool TKaveloComm::SendFrame(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize) {
  return TOrvoCommDevice::SendFrame(Header, SendData, SendDataSize, nullptr, 0, nullptr, 0);
}

bool TKaveloComm::SendFrameTo(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                              const QString& IPAddress) {
  return TOrvoCommDevice::SendFrameTo(Header, SendData, SendDataSize, IPAddress);
}

QString TKaveloComm::LocalIP() const {
  const auto* binding = Server() ? Server()->Binding() : nullptr;
  return binding ? binding->IP : QString();
}

QString TKaveloComm::PeerIP() const {
  const auto* binding = Server() ? Server()->Binding() : nullptr;
  return binding ? binding->PeerIP : QString();
}

std::unique_ptr<IKaveloLink> TKaveloComm::Create(uint32_t Address, TKaveloDataEvent Handler,
                                                 uint16_t Port, uint16_t LocalPort) {
  return std::make_unique<TKaveloComm>(Address, std::move(Handler), Port, LocalPort);
}

} // namespace kavelo
