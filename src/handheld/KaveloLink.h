#pragma once
// What the handheld connection needs of its link. TKaveloComm provides it over UDP; unit tests
// put a scripted device behind it that answers synchronously.

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace kavelo {

class IKaveloLink;

// Sender is the link that delivered the frame; ReceiveBuffer is valid only during the call.
using TKaveloDataEvent = std::function<void(IKaveloLink* Sender, uint16_t Header,
                                            const uint8_t* ReceiveBuffer,
                                            uint16_t ReceiveBufferSize)>;

class IKaveloLink {
public:
  virtual ~IKaveloLink() = default;
  // Buffer holds a whole frame of Length bytes (at least 4); its length field is not read.
  virtual bool Transmit(const uint8_t* Buffer, uint16_t Length) = 0;
  virtual bool Broadcast(const uint8_t* Buffer, uint16_t Length) = 0;
  virtual bool Restart() = 0;
  virtual bool PowerOff() = 0;
  // A frame to the link's own address, not awaited.
  virtual bool SendFrame(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize) = 0;
  virtual bool SendFrameTo(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                           const QString& IPAddress) = 0;
  virtual bool HasServer() const = 0;
  virtual bool ServerActive() const = 0;
  virtual bool HasBinding() const = 0;
  // The binding's local address as dotted text.
  virtual QString LocalIP() const = 0;
  // The sender of the datagram being delivered, as dotted text.
  virtual QString PeerIP() const = 0;
};

using TKaveloLinkFactory = std::function<std::unique_ptr<IKaveloLink>(
    uint32_t Address, TKaveloDataEvent Handler, uint16_t Port, uint16_t LocalPort)>;

} // namespace kavelo
