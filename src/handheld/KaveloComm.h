#pragma once

#include "handheld/KaveloLink.h"
#include "net/OrvoCommDevice.h"

namespace kavelo {

// The link endpoint with the handheld's own sends.
class TKaveloComm : public TOrvoCommDevice, public IKaveloLink {
public:
  TKaveloComm(uint32_t aIPAddress, TKaveloDataEvent aHandler, uint16_t udpPort,
              uint16_t localPort);

  bool Transmit(const uint8_t* Buffer, uint16_t Length) override;
  bool Broadcast(const uint8_t* Buffer, uint16_t Length) override;
  bool Restart() override;
  bool PowerOff() override;
  bool SendFrame(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize) override;
  bool SendFrameTo(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                   const QString& IPAddress) override;
  bool HasServer() const override { return Server() != nullptr; }
  bool ServerActive() const override { return Server() && Server()->Active(); }
  bool HasBinding() const override { return Server() && Server()->Binding(); }
  QString LocalIP() const override;
  QString PeerIP() const override;

  static std::unique_ptr<IKaveloLink> Create(uint32_t Address, TKaveloDataEvent Handler,
                                             uint16_t Port, uint16_t LocalPort);
};

} // namespace kavelo
