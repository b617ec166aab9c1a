#pragma once
// A device at the far end of a link for tests: records every datagram it receives and answers
// each from a script. Runs its own thread; everything it does is bounded in time.

#include "net/Helpers.h"
#include "platform/UdpSocket.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kavelo::test {

using TBytes = std::vector<uint8_t>;

struct TScriptedReply {
  TBytes Datagram;
  int DelayMs = 0;
};

class TScriptedPeer {
public:
  using TResponder = std::function<std::vector<TScriptedReply>(const TBytes& received)>;

  TScriptedPeer(const std::string& address, uint16_t port = 21105) {
    fBound = fSocket.Bind(StrToIP(QString::fromStdString(address), 0), port);
    if (fBound) fThread = std::thread([this] { Run(); });
  }
  ~TScriptedPeer() {
    fStop = true;
    fSocket.Wake();
    if (fThread.joinable()) fThread.join();
  }
  TScriptedPeer(const TScriptedPeer&) = delete;
  TScriptedPeer& operator=(const TScriptedPeer&) = delete;

  bool Bound() const { return fBound; }
  void SetResponder(TResponder responder) {
    std::lock_guard lock(fMutex);
    fResponder = std::move(responder);
  }
  // Sends a datagram of its own to address:port.
  void SendTo(const std::string& address, const TBytes& datagram, uint16_t port = 21105) {
    fSocket.SendTo(StrToIP(QString::fromStdString(address), 0), port, datagram.data(),
                   datagram.size());
  }
  std::vector<TBytes> Received() {
    std::lock_guard lock(fMutex);
    return fReceived;
  }
  // Waits (without processing the caller's events) until count datagrams arrived.
  bool WaitForReceived(size_t count, int maxMs = 2000) {
    std::unique_lock lock(fMutex);
    return fArrived.wait_for(lock, std::chrono::milliseconds(maxMs),
                             [&] { return fReceived.size() >= count; });
  }

private:
  void Run() {
    std::vector<uint8_t> buffer(65536);
    while (!fStop) {
      if (fSocket.WaitReadable(50) != TUdpSocket::TWait::Readable) continue;
      uint32_t from = 0;
      uint16_t fromPort = 0;
      const long got = fSocket.ReceiveFrom(buffer.data(), buffer.size(), from, fromPort);
      if (got <= 0) continue;
      TBytes datagram(buffer.begin(), buffer.begin() + got);
      TResponder responder;
      {
        std::lock_guard lock(fMutex);
        fReceived.push_back(datagram);
        responder = fResponder;
      }
      fArrived.notify_all();
      if (!responder) continue;
      for (const auto& reply : responder(datagram)) {
        if (reply.DelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(reply.DelayMs));
        fSocket.SendTo(from, fromPort, reply.Datagram.data(), reply.Datagram.size());
      }
    }
  }

  TUdpSocket fSocket;
  bool fBound = false;
  std::atomic<bool> fStop{false};
  std::thread fThread;
  std::mutex fMutex;
  std::condition_variable fArrived;
  TResponder fResponder;
  std::vector<TBytes> fReceived;
};

inline TBytes Concat(std::initializer_list<TBytes> parts) {
  TBytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

} // namespace kavelo::test
