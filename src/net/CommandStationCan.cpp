// Messages passed through to the CAN bus.

#include "net/CommandStationProtocol.h"
#include "net/OrvoCommDevice.h"

namespace kavelo {

using namespace station;

bool TOrvoCommDevice::CAN_Send(const TCANMessage& CanMsg) {
  return SendFrame(kCanHeader, reinterpret_cast<const uint8_t*>(&CanMsg), sizeof(TCANMessage),
                   nullptr, 0, nullptr, 0);
}

bool TOrvoCommDevice::CAN_SendZCAN(const TCANMessage& CanMessage) {
  TCANMessage zcan = CanMessage;
  zcan.Protocol = kZcanProtocol;
  zcan.Format = kZcanFormat;
  zcan.Typ = kZcanTyp;
  return CAN_Send(zcan);
}

bool TOrvoCommDevice::CAN_RequestPing(uint16_t DstNid) {
  TCANMessage ping{};
  ping.MessageID = ZCAN20_IDREQ(kZcanPingGroup, kZcanPingCommand, 0);
  ping.Length = kZcanPingLength;
  WriteLE16(ping.Data.data(), DstNid);
  return CAN_SendZCAN(ping);
}

bool TOrvoCommDevice::CAN_InfoModuleInfoReq(uint16_t DstNid, uint16_t Typ) {
  TCANMessage request{};
  request.MessageID = ZCAN20_IDREQ(kZcanInfoGroup, kZcanModuleInfoCommand, 0);
  request.Length = kZcanModuleInfoLength;
  WriteLE16(request.Data.data(), DstNid);
  WriteLE16(request.Data.data() + 2, Typ);
  return CAN_SendZCAN(request);
}

void TOrvoCommDevice::CAN_ReportBooster() {
  CAN_RequestPing(kZcanBoosterNid);
}

} // namespace kavelo
