#pragma once
// The one object through which the tool talks UDP to a handheld or a command station.

#include "net/AutoResetEvent.h"
#include "net/Frame.h"
#include "net/OrvoObserver.h"
#include "net/UdpServer.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace kavelo {

class TOrvoCommDevice;

// ReceiveBuffer is valid only during the call.
using TDataReceivedEvent = std::function<void(TOrvoCommDevice* Sender, uint16_t Header,
                                              const uint8_t* ReceiveBuffer,
                                              uint16_t ReceiveBufferSize)>;
using TSetProgressEvent = std::function<void(const void* Sender, int32_t Max, int32_t Position)>;

inline constexpr size_t kReplyStoreSize = 32768;
inline constexpr uint32_t kCommandTimeoutMs = 500;
inline constexpr uint32_t kTunnelTimeoutMs = 1000;
inline constexpr size_t kTunnelAckBufferSize = 32768;

class TOrvoCommDevice : public IOrvoObservedSubject {
public:
  // Never fails on the network's account: when the endpoint cannot be set up, Server() is null.
  TOrvoCommDevice(uint32_t aIPAddress, TDataReceivedEvent aDataReceivedEvent, uint16_t udpPort,
                  uint16_t localPort = 0);
  ~TOrvoCommDevice() override;
  TOrvoCommDevice(const TOrvoCommDevice&) = delete;
  TOrvoCommDevice& operator=(const TOrvoCommDevice&) = delete;

  void RegisterObserver(IOrvoObserver* aObserver) override;
  void RemoveObserver(IOrvoObserver* aObserver) override;
  void NotifyObservers(uint16_t Header, const uint8_t* ReceiveBuffer,
                       uint16_t ReceiveBufferSize) override;

  void StartProgress(int32_t Max);
  void SetProgress(int32_t Position);
  void StopProgress();
  void SetOnSetProgress(TSetProgressEvent event) { fOnSetProgress = std::move(event); }

  TUdpServer* Server() const { return fServer.get(); }
  uint32_t CFG_LastBroadcastFlags() const { return fLastBroadcastFlags; }
  uint32_t IPAddress() const { return fIPAddress; }
  uint16_t Port() const { return fPort; }

  // ---- the command-station command set ----
  // ---- end of the command-station command set ----

  // The sends that the command set, the handheld subclass and the handheld connection use.
  bool SendFrame(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                 uint8_t* ReceiveData, uint16_t ReceiveDataCapacity, uint16_t* ReceiveDataSize,
                 uint32_t Timeout);
  bool SendFrameEx(uint16_t SendHeader, uint8_t ReceiveHeader, const uint8_t* SendData,
                   uint16_t SendDataSize, uint8_t* ReceiveData, uint16_t ReceiveDataCapacity,
                   uint16_t* ReceiveDataSize, uint32_t Timeout);
  bool SendFrameTo(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                   const QString& IPAddress);
  bool BroadcastFrame(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                      uint8_t* ReceiveData, uint16_t ReceiveDataCapacity,
                      uint16_t* ReceiveDataSize, uint32_t Timeout);
  bool BroadcastFrameEx(uint16_t SendHeader, uint8_t ReceiveHeader, const uint8_t* SendData,
                        uint16_t SendDataSize, uint8_t* ReceiveData,
                        uint16_t ReceiveDataCapacity, uint16_t* ReceiveDataSize,
                        uint32_t Timeout);
  // Message: a tunnel message without its XOR byte (nullptr for none). -1 failure, 0 success
  // without reply data, otherwise the reply payload length.
  int32_t TunnelRequest(const uint8_t* Message, uint8_t* ReceiveData,
                        uint16_t ReceiveDataCapacity);
  int32_t TunnelRequest(const std::vector<uint8_t>& Message, uint8_t* ReceiveData,
                        uint16_t ReceiveDataCapacity);
  // Sends a caller-built frame as it is and waits for a result frame: its code 0..255, or -1.
  int32_t SendRawFrame(const uint8_t* Frame, uint16_t FrameSize, uint32_t Timeout);

protected:
  uint8_t WantedReceiveHeader() const { return fWantedReceiveHeader.load(); }
  void ReceiveDatagram(TUdpServer& server, const uint8_t* data, size_t length);

private:
  enum class TRoute { Unicast, Broadcast };
  bool SendAndAwait(TRoute route, uint16_t SendHeader, uint8_t ReceiveHeader,
                    const uint8_t* SendData, uint16_t SendDataSize, uint8_t* ReceiveData,
                    uint16_t ReceiveDataCapacity, uint16_t* ReceiveDataSize, uint32_t Timeout);
  void Arm(uint8_t header);

  uint32_t fIPAddress;
  uint16_t fPort;
  std::unique_ptr<TUdpServer> fServer;
  int32_t fMaxProgress = 0;
  TSetProgressEvent fOnSetProgress;
  TAutoResetEvent fEvent;
  std::atomic<uint8_t> fWantedReceiveHeader{0};
  uint16_t fReceiveBufferLength = 0;
  std::array<uint8_t, kReplyStoreSize> fReceiveBuffer{};
  TDataReceivedEvent fDataReceivedEvent;
  uint32_t fLastBroadcastFlags = 0;
  std::vector<IOrvoObserver*> fObserverList;
};

} // namespace kavelo
