#include "net/UdpServer.h"

#include "net/Helpers.h"

#include <QMetaObject>

namespace kavelo {

// One datagram on its way to the creating thread. The listener waits until Done; a stop
// cancels it, so a delivery never runs once the endpoint is being torn down.
struct TUdpServer::THandOver {
  std::vector<uint8_t> Data;
  uint32_t Peer = 0;
  uint16_t PeerPort = 0;
  bool Started = false;
  bool Done = false;
  bool Cancelled = false;
};

TUdpServer::TUdpServer() : fContext(std::make_unique<QObject>()) {}

TUdpServer::~TUdpServer() {
  Stop();
  fContext.reset(); // drops hand-overs still queued for it
}

void TUdpServer::SetBindingAddress(uint32_t address, uint16_t port) {
  fBindAddress = address;
  fBindPort = port;
}

bool TUdpServer::SetActive(bool active) {
  if (active == fActive) return true;
  if (!active) {
    Stop();
    return true;
  }
  if (!fSocket.Bind(fBindAddress, fBindPort)) return false;
  fBinding = TUdpBinding{IPToStr(fSocket.BoundAddress()), fSocket.BoundPort(), {}, 0};
  fBroadcastEnabled = false;
  fStopping = false;
  fListenerFailed = false;
  fActive = true;
  fListener = std::thread([this] { Listen(); });
  return true;
}

void TUdpServer::Stop() {
  if (!fListener.joinable()) {
    fActive = false;
    return;
  }
  {
    std::lock_guard lock(fHandOverMutex);
    fStopping = true;
    if (fPending && !fPending->Started) {
      fPending->Cancelled = true;
      --fPendingHandOvers;
    }
  }
  fHandOverDone.notify_all();
  fSocket.Wake();
  fListener.join();
  fSocket.Close();
  fPending.reset();
  fActive = false;
}

void TUdpServer::SetBroadcastEnabled(bool on) {
  if (on && !fBroadcastEnabled) fSocket.EnableBroadcast();
  fBroadcastEnabled = on;
}

bool TUdpServer::SendBuffer(uint32_t address, uint16_t port, const uint8_t* data, size_t size) {
  return Active() && fSocket.SendTo(address, port, data, size);
}

bool TUdpServer::Broadcast(uint16_t port, const uint8_t* data, size_t size) {
  SetBroadcastEnabled(true);
  return Active() && fSocket.SendTo(0xFFFFFFFFu, port, data, size);
}

void TUdpServer::Listen() {
  std::vector<uint8_t> buffer(BufferSize);
  while (!fStopping) {
    const auto wait = fSocket.WaitReadable(kListenSliceMs);
    if (wait == TUdpSocket::TWait::TimedOut) continue;
    if (wait != TUdpSocket::TWait::Readable) {
      if (wait == TUdpSocket::TWait::Failed) break;
      continue; // woken: the loop condition decides
    }
    uint32_t peer = 0;
    uint16_t peerPort = 0;
    const long got = fSocket.ReceiveFrom(buffer.data(), buffer.size(), peer, peerPort);
    if (got == TUdpSocket::kReceiveFailed) break;
    // Empty datagrams and datagrams that did not fit the buffer are dropped whole.
    if (got <= 0 || static_cast<size_t>(got) > BufferSize) continue;
    if (fAccept && !fAccept(buffer.data(), static_cast<size_t>(got))) continue;
    if (fThreadedEvent) {
      // Nothing may escape the listener thread: that would end the program.
      try {
        Deliver(buffer.data(), static_cast<size_t>(got), peer, peerPort);
      } catch (...) {
      }
    } else {
      HandOver(buffer.data(), static_cast<size_t>(got), peer, peerPort);
    }
  }
  // Left by a failed socket, not by a stop: the endpoint no longer claims to be active.
  if (!fStopping) fListenerFailed = true;
}

void TUdpServer::Deliver(const uint8_t* data, size_t size, uint32_t peer, uint16_t peerPort) {
  fBinding.PeerIP = IPToStr(peer);
  fBinding.PeerPort = peerPort;
  if (fOnReceive) fOnReceive(*this, data, size);
}

void TUdpServer::HandOver(const uint8_t* data, size_t size, uint32_t peer, uint16_t peerPort) {
  auto handOver = std::make_shared<THandOver>();
  handOver->Data.assign(data, data + size);
  handOver->Peer = peer;
  handOver->PeerPort = peerPort;
  {
    std::lock_guard lock(fHandOverMutex);
    if (fStopping) return;
    fPending = handOver;
    ++fPendingHandOvers;
  }
  // The queued call runs on the creating thread while it processes its events. It is bound to
  // fContext, so Qt discards it if the endpoint is destroyed before it runs.
  QMetaObject::invokeMethod(
      fContext.get(),
      [this, handOver] {
        {
          std::lock_guard lock(fHandOverMutex);
          if (handOver->Cancelled) return;
          handOver->Started = true;
          --fPendingHandOvers;
        }
        // The listener waits for Done; a delivery that throws must release it all the same.
        struct TRelease {
          TUdpServer* Server;
          THandOver* Item;
          ~TRelease() {
            {
              std::lock_guard lock(Server->fHandOverMutex);
              Item->Done = true;
            }
            Server->fHandOverDone.notify_all();
          }
        } release{this, handOver.get()};
        Deliver(handOver->Data.data(), handOver->Data.size(), handOver->Peer, handOver->PeerPort);
      },
      Qt::QueuedConnection);
  std::unique_lock lock(fHandOverMutex);
  fHandOverDone.wait(lock, [&] { return handOver->Done || fStopping.load(); });
  if (fPending == handOver) fPending.reset();
}

} // namespace kavelo
