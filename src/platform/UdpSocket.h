#pragma once
// A thin IPv4 UDP socket. Addresses are 32-bit values whose lowest byte is the first dotted
// number (network byte order in memory on this machine), the form the address helpers use.

#include <cstddef>
#include <cstdint>
#include <string>

namespace kavelo {

class TUdpSocket {
public:
  enum class TWait { Readable, TimedOut, Woken, Failed };

  TUdpSocket();
  ~TUdpSocket();
  TUdpSocket(const TUdpSocket&) = delete;
  TUdpSocket& operator=(const TUdpSocket&) = delete;

  // Opens and binds the socket; false (with LastError set) when that is not possible.
  bool Bind(uint32_t address, uint16_t port);
  bool IsOpen() const { return fFd >= 0; }
  void Close();
  bool EnableBroadcast();
  bool SendTo(uint32_t address, uint16_t port, const uint8_t* data, size_t size);
  // Waits until a datagram is ready, Wake() is called, or the time has passed.
  TWait WaitReadable(int timeoutMs);
  // Reads one datagram. Returns its full length, which may exceed capacity when it was cut
  // (the rest is discarded by the kernel); kReceiveAgain when nothing could be read this time (no
  // datagram, an interrupted call, an error report from the network), kReceiveFailed when the
  // socket can receive no more.
  static constexpr long kReceiveAgain = -1;
  static constexpr long kReceiveFailed = -2;
  long ReceiveFrom(uint8_t* buffer, size_t capacity, uint32_t& fromAddress, uint16_t& fromPort);
  // The descriptor, for tests that break the socket under a running listener.
  int Handle() const { return fFd; }
  // Wakes a thread blocked in WaitReadable; safe from any thread.
  void Wake();
  uint32_t BoundAddress() const { return fBoundAddress; }
  uint16_t BoundPort() const { return fBoundPort; }
  const std::string& LastError() const { return fLastError; }

private:
  int fFd = -1;
  int fWakeRead = -1;
  int fWakeWrite = -1;
  uint32_t fBoundAddress = 0;
  uint16_t fBoundPort = 0;
  std::string fLastError;
};

} // namespace kavelo
