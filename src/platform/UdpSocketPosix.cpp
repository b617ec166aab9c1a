#include "UdpSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kavelo {

namespace {
sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  sa.sin_addr.s_addr = address; // already in network byte order
  return sa;
}
} // namespace

TUdpSocket::TUdpSocket() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    fWakeRead = fds[0];
    fWakeWrite = fds[1];
  }
}

TUdpSocket::~TUdpSocket() {
  Close();
  if (fWakeRead >= 0) close(fWakeRead);
  if (fWakeWrite >= 0) close(fWakeWrite);
}

bool TUdpSocket::Bind(uint32_t address, uint16_t port) {
  Close();
  fFd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fFd < 0) {
    fLastError = std::strerror(errno);
    return false;
  }
  // Room for bursts: a busy LAN must not push the handheld's replies out of a small buffer.
  const int receiveBuffer = 1 << 20;
  setsockopt(fFd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  const sockaddr_in sa = MakeAddress(address, port);
  if (bind(fFd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    fLastError = std::strerror(errno);
    Close();
    return false;
  }
  sockaddr_in bound{};
  socklen_t len = sizeof bound;
  getsockname(fFd, reinterpret_cast<sockaddr*>(&bound), &len);
  fBoundAddress = bound.sin_addr.s_addr;
  fBoundPort = ntohs(bound.sin_port);
  return true;
}

void TUdpSocket::Close() {
  if (fFd >= 0) close(fFd);
  fFd = -1;
}

bool TUdpSocket::EnableBroadcast() {
  const int on = 1;
  return fFd >= 0 && setsockopt(fFd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

bool TUdpSocket::SendTo(uint32_t address, uint16_t port, const uint8_t* data, size_t size) {
  if (fFd < 0) return false;
  const sockaddr_in sa = MakeAddress(address, port);
  const ssize_t sent =
      sendto(fFd, data, size, 0, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
  if (sent != static_cast<ssize_t>(size)) {
    fLastError = std::strerror(errno);
    return false;
  }
  return true;
}

TUdpSocket::TWait TUdpSocket::WaitReadable(int timeoutMs) {
  if (fFd < 0) return TWait::Failed;
  pollfd fds[2] = {{fFd, POLLIN, 0}, {fWakeRead, POLLIN, 0}};
  const int n = poll(fds, fWakeRead >= 0 ? 2 : 1, timeoutMs);
  if (n < 0) return errno == EINTR ? TWait::TimedOut : TWait::Failed;
  if (n == 0) return TWait::TimedOut;
  if (fWakeRead >= 0 && (fds[1].revents & POLLIN)) {
    char drain[64];
    while (read(fWakeRead, drain, sizeof drain) > 0) {
    }
    return TWait::Woken;
  }
  if (fds[0].revents & POLLNVAL) return TWait::Failed;
  if ((fds[0].revents & POLLERR) && !(fds[0].revents & POLLIN)) {
    // A pending error report (an ICMP message about an earlier send): reading it clears it, and
    // the socket goes on receiving.
    int pending = 0;
    socklen_t len = sizeof pending;
    if (getsockopt(fFd, SOL_SOCKET, SO_ERROR, &pending, &len) != 0) return TWait::Failed;
    return TWait::Woken;
  }
  return TWait::Readable;
}

long TUdpSocket::ReceiveFrom(uint8_t* buffer, size_t capacity, uint32_t& fromAddress,
                             uint16_t& fromPort) {
  sockaddr_in from{};
  socklen_t len = sizeof from;
  // MSG_TRUNC makes the kernel report the datagram's real length, so an oversized one is seen.
  const ssize_t got = recvfrom(fFd, buffer, capacity, MSG_TRUNC | MSG_DONTWAIT,
                               reinterpret_cast<sockaddr*>(&from), &len);
  if (got < 0) {
    switch (errno) {
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EINTR:
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENOBUFS:
    case ENOMEM:
      return kReceiveAgain;
    default:
      fLastError = std::strerror(errno);
      return kReceiveFailed;
    }
  }
  fromAddress = from.sin_addr.s_addr;
  fromPort = ntohs(from.sin_port);
  return static_cast<long>(got);
}

void TUdpSocket::Wake() {
  if (fWakeWrite >= 0) {
    const char one = 1;
    [[maybe_unused]] const ssize_t ignored = write(fWakeWrite, &one, 1);
  }
}

} // namespace kavelo
