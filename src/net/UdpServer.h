#pragma once
// The link's UDP endpoint: one socket, a listener thread, and the hand-over of each received
// datagram to the thread that created the endpoint (normally the user interface thread).

#include "platform/UdpSocket.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kavelo {

class TUdpServer;

// What the endpoint reports about its binding; PeerIP and PeerPort describe the datagram whose
// handler is running.
struct TUdpBinding {
  QString IP;
  uint16_t Port = 0;
  QString PeerIP;
  uint16_t PeerPort = 0;
};

class TUdpServer {
public:
  using TReceiveHandler = std::function<void(TUdpServer& server, const uint8_t* data, size_t size)>;

  static constexpr size_t BufferSize = 8192;
  static constexpr int kListenSliceMs = 1000;

  TUdpServer();
  ~TUdpServer();
  TUdpServer(const TUdpServer&) = delete;
  TUdpServer& operator=(const TUdpServer&) = delete;

  void SetBindingAddress(uint32_t address, uint16_t port);
  void SetDefaultPort(uint16_t port) { fDefaultPort = port; }
  uint16_t DefaultPort() const { return fDefaultPort; }
  void SetOnReceive(TReceiveHandler handler) { fOnReceive = std::move(handler); }
  // Run on the listener thread: a datagram it refuses is dropped there, before any hand-over.
  using TAcceptFilter = std::function<bool(const uint8_t* data, size_t size)>;
  void SetAcceptFilter(TAcceptFilter filter) { fAccept = std::move(filter); }

  // Binds and starts the listener (true), or stops it and closes the socket (false).
  // Returns false when the socket cannot be bound; the endpoint then stays inactive.
  bool SetActive(bool active);
  // False as well once the listener has stopped because its socket failed: such an endpoint
  // would send and never hear the answer.
  bool Active() const { return fActive && !fListenerFailed; }

  // When on, the listener thread runs the receive handler itself; when off it hands each
  // datagram to the creating thread and waits until that has run it.
  void SetThreadedEvent(bool on) { fThreadedEvent.store(on); }
  bool ThreadedEvent() const { return fThreadedEvent.load(); }

  bool BroadcastEnabled() const { return fBroadcastEnabled; }
  void SetBroadcastEnabled(bool on);

  // Null while the endpoint is not bound.
  TUdpBinding* Binding() { return fActive ? &fBinding : nullptr; }

  bool SendBuffer(uint32_t address, uint16_t port, const uint8_t* data, size_t size);
  bool Broadcast(uint16_t port, const uint8_t* data, size_t size);

  // Number of hand-overs posted to the creating thread that have not run yet (for tests).
  int PendingHandOvers() const { return fPendingHandOvers.load(); }
  // The socket's descriptor (for tests that break it under a running listener).
  int SocketHandle() const { return fSocket.Handle(); }

private:
  struct THandOver;
  void Listen();
  void Deliver(const uint8_t* data, size_t size, uint32_t peer, uint16_t peerPort);
  void HandOver(const uint8_t* data, size_t size, uint32_t peer, uint16_t peerPort);
  void Stop();

  TUdpSocket fSocket;
  uint32_t fBindAddress = 0;
  uint16_t fBindPort = 0;
  uint16_t fDefaultPort = 0;
  bool fActive = false;
  bool fBroadcastEnabled = false;
  std::atomic<bool> fThreadedEvent{false};
  std::atomic<bool> fStopping{false};
  std::atomic<bool> fListenerFailed{false};
  std::atomic<int> fPendingHandOvers{0};
  TReceiveHandler fOnReceive;
  TAcceptFilter fAccept;
  TUdpBinding fBinding;
  std::thread fListener;
  std::unique_ptr<QObject> fContext; // lives in the creating thread; receives the hand-overs
  std::mutex fHandOverMutex;
  std::condition_variable fHandOverDone;
  std::shared_ptr<THandOver> fPending;
};

} // namespace kavelo
