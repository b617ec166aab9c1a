#include "SimSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kavelosim {

namespace {

// The datagram size the tool's receiver takes; anything longer is not a
// frame of this protocol.
constexpr size_t kReceiveBufferBytes = 8192;

in_addr ToInAddr(uint32_t ip) {
  // Our value holds the first dotted number in its lowest byte; in_addr
  // wants the four numbers in memory order.
  const uint8_t b[4] = {static_cast<uint8_t>(ip & 0xFF), static_cast<uint8_t>((ip >> 8) & 0xFF),
                        static_cast<uint8_t>((ip >> 16) & 0xFF),
                        static_cast<uint8_t>((ip >> 24) & 0xFF)};
  in_addr a{};
  std::memcpy(&a.s_addr, b, 4);
  return a;
}

uint32_t FromInAddr(const in_addr& a) {
  uint8_t b[4];
  std::memcpy(b, &a.s_addr, 4);
  return GetLE32(b);
}

sockaddr_in ToSockaddr(const Endpoint& ep) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(ep.port);
  sa.sin_addr = ToInAddr(ep.ip);
  return sa;
}

} // namespace

int OpenUdpSocket(uint32_t ip, uint16_t port, bool shared, std::string* error) {
  auto fail = [&](const char* what, int fd) {
    if (error) {
      *error = std::string(what) + " " + IPv4ToText(ip) + ":" + std::to_string(port) + ": " +
               std::strerror(errno);
    }
    if (fd >= 0) ::close(fd);
    return -1;
  };
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return fail("socket", -1);
  if (shared) {
    const int one = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one) != 0) {
      return fail("setsockopt", fd);
    }
  }
  const sockaddr_in sa = ToSockaddr({ip, port});
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) return fail("bind", fd);
  return fd;
}

std::optional<uint32_t> InterfaceBroadcastOf(uint32_t ip) {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return std::nullopt;
  std::optional<uint32_t> result;
  for (ifaddrs* i = list; i; i = i->ifa_next) {
    if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
    const auto* a = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
    if (FromInAddr(a->sin_addr) != ip) continue;
    if ((i->ifa_flags & IFF_UP) && (i->ifa_flags & IFF_BROADCAST) && i->ifa_broadaddr) {
      const auto* b = reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr);
      result = FromInAddr(b->sin_addr);
    }
    break;
  }
  ::freeifaddrs(list);
  return result;
}

bool SendDatagram(int fd, const Endpoint& to, const Bytes& bytes) {
  const sockaddr_in sa = ToSockaddr(to);
  const ssize_t n = ::sendto(fd, bytes.data(), bytes.size(), 0,
                             reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
  return n == static_cast<ssize_t>(bytes.size());
}

bool ReceiveDatagram(int fd, Datagram& out) {
  uint8_t buf[kReceiveBufferBytes];
  sockaddr_in from{};
  socklen_t fromLen = sizeof from;
  const ssize_t n =
      ::recvfrom(fd, buf, sizeof buf, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from), &fromLen);
  if (n < 0) return false;
  out.from = Endpoint{FromInAddr(from.sin_addr), ntohs(from.sin_port)};
  out.truncated = static_cast<size_t>(n) > sizeof buf;
  out.bytes.assign(buf, buf + std::min<size_t>(static_cast<size_t>(n), sizeof buf));
  return true;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

} // namespace kavelosim
