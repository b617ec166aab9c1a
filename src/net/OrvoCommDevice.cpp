#include "net/OrvoCommDevice.h"

#include "net/Helpers.h"

#include <algorithm>
#include <cstring>

namespace kavelo {

TOrvoCommDevice::TOrvoCommDevice(uint32_t aIPAddress, TDataReceivedEvent aDataReceivedEvent,
                                 uint16_t udpPort, uint16_t localPort)
    : fIPAddress(aIPAddress), fPort(udpPort), fDataReceivedEvent(std::move(aDataReceivedEvent)) {
  auto server = std::make_unique<TUdpServer>();
  // No adapter serving the target's subnet gives 0.0.0.0: all local addresses.
  server->SetBindingAddress(StrToIP(IPToStr(LocalIPInSubnet(aIPAddress)), InvalidIP),
                            localPort != 0 ? localPort : udpPort);
  server->SetOnReceive([this](TUdpServer& s, const uint8_t* data, size_t length) {
    ReceiveDatagram(s, data, length);
  });
  server->SetDefaultPort(udpPort);
  // A datagram whose first frame is malformed would deliver nothing; drop it on the listener
  // thread so that garbage on the LAN costs no hand-over to the user interface.
  server->SetAcceptFilter([](const uint8_t* data, size_t length) {
    if (length < kFrameHeadSize) return false;
    const uint16_t dataLen = ReadLE16(data);
    return dataLen >= kFrameHeadSize && dataLen <= length;
  });
  if (server->SetActive(true)) fServer = std::move(server);
}

TOrvoCommDevice::TOrvoCommDevice(uint32_t aIPAddress, TDataReceivedEvent aDataReceivedEvent,
                                 uint16_t udpPort, std::unique_ptr<TUdpServer> aServer)
    : fIPAddress(aIPAddress), fPort(udpPort), fServer(std::move(aServer)),
      fDataReceivedEvent(std::move(aDataReceivedEvent)) {
  if (!fServer) return;
  fServer->SetOnReceive([this](TUdpServer& s, const uint8_t* data, size_t length) {
    ReceiveDatagram(s, data, length);
  });
  fServer->SetDefaultPort(udpPort);
}

TOrvoCommDevice::~TOrvoCommDevice() {
  // The endpoint stops before anything else goes, so no delivery runs into a dying link.
  if (fServer) {
    fServer->SetActive(false);
    fServer.reset();
  }
  fObserverList.clear();
}

void TOrvoCommDevice::RegisterObserver(IOrvoObserver* aObserver) {
  if (!aObserver) return;
  if (std::find(fObserverList.begin(), fObserverList.end(), aObserver) == fObserverList.end())
    fObserverList.push_back(aObserver);
}

void TOrvoCommDevice::RemoveObserver(IOrvoObserver* aObserver) {
  const auto it = std::find(fObserverList.begin(), fObserverList.end(), aObserver);
  if (it != fObserverList.end()) fObserverList.erase(it);
}

void TOrvoCommDevice::NotifyObservers(uint16_t Header, const uint8_t* ReceiveBuffer,
                                      uint16_t ReceiveBufferSize) {
  for (IOrvoObserver* observer : fObserverList)
    observer->FrameReceived(Header, ReceiveBuffer, ReceiveBufferSize);
}

void TOrvoCommDevice::StartProgress(int32_t Max) {
  fMaxProgress = Max;
}

void TOrvoCommDevice::SetProgress(int32_t Position) {
  if (fOnSetProgress) fOnSetProgress(this, fMaxProgress, Position);
}

void TOrvoCommDevice::StopProgress() {}

void TOrvoCommDevice::ReceiveDatagram(TUdpServer& server, const uint8_t* data, size_t length) {
  const TUdpBinding* binding = server.Binding();
  // Windows hands a broadcast back to its sender; never mistake our own frame for a reply.
  if (binding && binding->PeerIP == binding->IP) return;
  bool claimed = false;
  WalkDatagram(data, length, [this, &claimed](const TFrameView& frame) {
    // Once a frame of this datagram is claimed the wanted header reads 0, and a header-0 frame
    // behind it must not be claimed over the reply.
    if (!claimed && frame.Header == fWantedReceiveHeader.load() && Claim(frame)) {
      claimed = true;
      return;
    }
    if (fDataReceivedEvent)
      fDataReceivedEvent(this, frame.Header, frame.Payload, frame.PayloadSize);
    NotifyObservers(frame.Header, frame.Payload, frame.PayloadSize);
  });
  // Signalled only once the whole datagram is walked: the waiting request must not re-arm while
  // frames that came with its reply are still being delivered.
  if (claimed) fEvent.Set();
}

bool TOrvoCommDevice::Claim(const TFrameView& frame) {
  std::lock_guard lock(fReplyMutex);
  // A reply that a waiting request has not taken yet stays until it is taken.
  if (fReplyHeld) return false;
  fWantedReceiveHeader = 0;
  fReceiveBufferLength = frame.DataLen;
  std::memcpy(fReceiveBuffer.data(), frame.Frame, frame.DataLen);
  fReplyHeld = fAwaiting;
  return true;
}

uint16_t TOrvoCommDevice::TakeReply(uint8_t* ReceiveData, uint16_t ReceiveDataCapacity) {
  std::lock_guard lock(fReplyMutex);
  const uint16_t size = static_cast<uint16_t>(fReceiveBufferLength - kFrameHeadSize);
  // A reply longer than the caller's buffer is cut to its capacity.
  if (ReceiveData)
    std::memcpy(ReceiveData, fReceiveBuffer.data() + kFrameHeadSize,
                std::min(size, ReceiveDataCapacity));
  return size;
}

void TOrvoCommDevice::EndWait() {
  {
    std::lock_guard lock(fReplyMutex);
    fAwaiting = false;
    fReplyHeld = false;
  }
  fServer->SetThreadedEvent(false);
}

void TOrvoCommDevice::Arm(uint8_t header) {
  {
    std::lock_guard lock(fReplyMutex);
    fWantedReceiveHeader = header;
    fAwaiting = true;
    fReplyHeld = false;
  }
  if (fServer) fServer->SetThreadedEvent(true);
  fEvent.Reset();
}

bool TOrvoCommDevice::SendAndAwait(TRoute route, uint16_t SendHeader, uint8_t ReceiveHeader,
                                   const uint8_t* SendData, uint16_t SendDataSize,
                                   uint8_t* ReceiveData, uint16_t ReceiveDataCapacity,
                                   uint16_t* ReceiveDataSize, uint32_t Timeout) {
  if (!fServer) return false;
  if (Timeout > 0) Arm(ReceiveHeader);
  bool sent = true;
  if (SendHeader != 0) {
    const auto frame = BuildFrame(SendHeader, SendData, SendDataSize);
    sent = route == TRoute::Broadcast
               ? fServer->Broadcast(fPort, frame.data(), frame.size())
               : fServer->SendBuffer(fIPAddress, fPort, frame.data(), frame.size());
  }
  if (Timeout == 0) return sent;
  bool result = false;
  if (sent && fEvent.Wait(Timeout)) {
    const uint16_t size = TakeReply(ReceiveData, ReceiveDataCapacity);
    if (ReceiveDataSize) *ReceiveDataSize = size;
    result = true;
  }
  EndWait();
  return result;
}

bool TOrvoCommDevice::SendFrame(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                                uint8_t* ReceiveData, uint16_t ReceiveDataCapacity,
                                uint16_t* ReceiveDataSize, uint32_t Timeout) {
  return SendFrameEx(Header, static_cast<uint8_t>(Header), SendData, SendDataSize, ReceiveData,
                     ReceiveDataCapacity, ReceiveDataSize, Timeout);
}

bool TOrvoCommDevice::SendFrameEx(uint16_t SendHeader, uint8_t ReceiveHeader,
                                  const uint8_t* SendData, uint16_t SendDataSize,
                                  uint8_t* ReceiveData, uint16_t ReceiveDataCapacity,
                                  uint16_t* ReceiveDataSize, uint32_t Timeout) {
  return SendAndAwait(TRoute::Unicast, SendHeader, ReceiveHeader, SendData, SendDataSize,
                      ReceiveData, ReceiveDataCapacity, ReceiveDataSize, Timeout);
}

bool TOrvoCommDevice::BroadcastFrame(uint16_t Header, const uint8_t* SendData,
                                     uint16_t SendDataSize, uint8_t* ReceiveData,
                                     uint16_t ReceiveDataCapacity, uint16_t* ReceiveDataSize,
                                     uint32_t Timeout) {
  return BroadcastFrameEx(Header, static_cast<uint8_t>(Header), SendData, SendDataSize, ReceiveData,
                          ReceiveDataCapacity, ReceiveDataSize, Timeout);
}

bool TOrvoCommDevice::BroadcastFrameEx(uint16_t SendHeader, uint8_t ReceiveHeader,
                                       const uint8_t* SendData, uint16_t SendDataSize,
                                       uint8_t* ReceiveData, uint16_t ReceiveDataCapacity,
                                       uint16_t* ReceiveDataSize, uint32_t Timeout) {
  return SendAndAwait(TRoute::Broadcast, SendHeader, ReceiveHeader, SendData, SendDataSize,
                      ReceiveData, ReceiveDataCapacity, ReceiveDataSize, Timeout);
}

bool TOrvoCommDevice::SendFrameTo(uint16_t Header, const uint8_t* SendData, uint16_t SendDataSize,
                                  const QString& IPAddress) {
  if (Header != 0 && fServer) {
    const auto frame = BuildFrame(Header, SendData, SendDataSize);
    fServer->SendBuffer(StrToIP(IPAddress, InvalidIP), fPort, frame.data(), frame.size());
  }
  return true;
}

int32_t TOrvoCommDevice::TunnelRequest(const uint8_t* Message, uint8_t* ReceiveData,
                                       uint16_t ReceiveDataCapacity) {
  std::vector<uint8_t> payload;
  if (Message) {
    const size_t n = Message[0] & 0x0F;
    payload = BuildTunnelMessage(std::span<const uint8_t>(Message, n + 1));
  }
  std::vector<uint8_t> ack(kTunnelAckBufferSize);
  uint16_t size = 0;
  if (!SendFrame(kTunnelHeader, payload.data(), static_cast<uint16_t>(payload.size()), ack.data(),
                 static_cast<uint16_t>(ack.size() - 1), &size, kTunnelTimeoutMs))
    return -1;
  if (size != 2 || ack[0] != 0x00 || ack[1] != 0x00) return -1;
  if (!ReceiveData || ReceiveDataCapacity == 0) return 0;
  uint16_t replySize = 0;
  if (!SendFrameEx(0, kTunnelHeader, nullptr, 0, ReceiveData, ReceiveDataCapacity, &replySize,
                   kTunnelTimeoutMs))
    return -1;
  return replySize;
}

int32_t TOrvoCommDevice::TunnelRequest(const std::vector<uint8_t>& Message, uint8_t* ReceiveData,
                                       uint16_t ReceiveDataCapacity) {
  if (Message.empty()) return TunnelRequest(nullptr, ReceiveData, ReceiveDataCapacity);
  // A list shorter than its X-header announces is refused rather than read past its end.
  if (Message.size() < static_cast<size_t>((Message[0] & 0x0F) + 1)) return -1;
  return TunnelRequest(Message.data(), ReceiveData, ReceiveDataCapacity);
}

int32_t TOrvoCommDevice::SendRawFrame(const uint8_t* Frame, uint16_t FrameSize, uint32_t Timeout) {
  if (!fServer) return -1;
  Arm(static_cast<uint8_t>(kResultHeader));
  int32_t result = -1;
  if (fServer->SendBuffer(fIPAddress, fPort, Frame, FrameSize) && fEvent.Wait(Timeout)) {
    std::lock_guard lock(fReplyMutex);
    result = ResultCodeOf(fReceiveBuffer.data(), fReceiveBufferLength);
  }
  EndWait();
  return result;
}

} // namespace kavelo
