#include "RawUdpClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace simtest {

namespace {

sockaddr_in Address(const std::string& ip, uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  inet_pton(AF_INET, ip.c_str(), &sa.sin_addr);
  return sa;
}

} // namespace

RawUdpClient::RawUdpClient(const std::string& ip, uint16_t port) {
  fFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fFd < 0) {
    fError = std::strerror(errno);
    return;
  }
  const sockaddr_in sa = Address(ip, port);
  if (::bind(fFd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    fError = "bind " + ip + ": " + std::strerror(errno);
    ::close(fFd);
    fFd = -1;
  }
}

RawUdpClient::~RawUdpClient() {
  if (fFd >= 0) ::close(fFd);
}

void RawUdpClient::EnableBroadcast() {
  const int one = 1;
  ::setsockopt(fFd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
}

bool RawUdpClient::SendTo(const std::string& ip, const Bytes& bytes, uint16_t port) {
  const sockaddr_in sa = Address(ip, port);
  return ::sendto(fFd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&sa),
                  sizeof sa) == static_cast<ssize_t>(bytes.size());
}

std::optional<Datagram> RawUdpClient::Receive(std::chrono::milliseconds timeout) {
  pollfd p{fFd, POLLIN, 0};
  if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
  uint8_t buf[8192];
  sockaddr_in from{};
  socklen_t len = sizeof from;
  const ssize_t n = ::recvfrom(fFd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
  if (n < 0) return std::nullopt;
  Datagram d;
  d.bytes.assign(buf, buf + n);
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
  d.fromIp = text;
  d.fromPort = ntohs(from.sin_port);
  return d;
}

std::vector<Datagram> RawUdpClient::ReceiveAll(std::chrono::milliseconds quiet,
                                               std::chrono::milliseconds limit) {
  std::vector<Datagram> all;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    auto d = Receive(quiet);
    if (!d) break;
    all.push_back(std::move(*d));
  }
  return all;
}

Bytes RawUdpClient::Exchange(const std::string& ip, const Bytes& request,
                             std::chrono::milliseconds timeout) {
  if (!SendTo(ip, request)) return {};
  auto d = Receive(timeout);
  return d ? d->bytes : Bytes{};
}

} // namespace simtest
