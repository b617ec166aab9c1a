// Linux: adapters from getifaddrs, the ARP cache from the kernel's neighbour table over netlink.

#include "Platform.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cstring>
#include <ifaddrs.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kavelo {

namespace {

std::string Dotted(const sockaddr* sa) {
  if (!sa || sa->sa_family != AF_INET) return "0.0.0.0";
  char text[INET_ADDRSTRLEN] = {};
  const auto* in = reinterpret_cast<const sockaddr_in*>(sa);
  inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
  return text;
}

// One netlink socket per request keeps the code free of shared state.
class NetlinkSocket {
public:
  NetlinkSocket() : fFd(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {
    if (fFd >= 0) {
      timeval tv{1, 0}; // a kernel answer never takes long; never hang on one
      setsockopt(fFd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
  }
  ~NetlinkSocket() {
    if (fFd >= 0) close(fFd);
  }
  NetlinkSocket(const NetlinkSocket&) = delete;
  NetlinkSocket& operator=(const NetlinkSocket&) = delete;
  bool Ok() const { return fFd >= 0; }
  int Fd() const { return fFd; }

private:
  int fFd;
};

struct NeighRequest {
  nlmsghdr Header;
  ndmsg Neigh;
  alignas(NLMSG_ALIGNTO) char Attributes[64];
};

class LinuxPlatform final : public IPlatform {
public:
  std::vector<TAdapterInfo> AdapterList() override {
    std::vector<TAdapterInfo> adapters;
    std::vector<TAdapterInfo> loopback;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return adapters;
    for (ifaddrs* it = list; it; it = it->ifa_next) {
      if (!it->ifa_addr || it->ifa_addr->sa_family != AF_INET) continue;
      if (!(it->ifa_flags & IFF_UP)) continue;
      auto& target = (it->ifa_flags & IFF_LOOPBACK) ? loopback : adapters;
      const std::string name = it->ifa_name ? it->ifa_name : "";
      const bool known = std::any_of(target.begin(), target.end(),
                                     [&](const TAdapterInfo& a) { return a.Name == name; });
      if (known) continue; // only the first address of an adapter counts
      target.push_back({name, Dotted(it->ifa_addr), Dotted(it->ifa_netmask)});
    }
    freeifaddrs(list);
    // Windows lists no loopback adapter; keeping it last leaves FirstLocalIP on a real adapter.
    adapters.insert(adapters.end(), loopback.begin(), loopback.end());
    return adapters;
  }

  std::optional<std::vector<TArpRow>> ArpTable() override {
    NetlinkSocket nl;
    if (!nl.Ok()) return std::nullopt;
    NeighRequest req{};
    req.Header.nlmsg_len = NLMSG_LENGTH(sizeof(ndmsg));
    req.Header.nlmsg_type = RTM_GETNEIGH;
    req.Header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    req.Header.nlmsg_seq = 1;
    req.Neigh.ndm_family = AF_INET;
    if (send(nl.Fd(), &req, req.Header.nlmsg_len, 0) < 0) return std::nullopt;

    std::vector<TArpRow> rows;
    std::array<char, 32768> buffer{};
    for (int guard = 0; guard < 10000; ++guard) {
      const ssize_t got = recv(nl.Fd(), buffer.data(), buffer.size(), 0);
      if (got <= 0) return std::nullopt;
      int remaining = static_cast<int>(got);
      for (auto* msg = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(msg, remaining);
           msg = NLMSG_NEXT(msg, remaining)) {
        if (msg->nlmsg_type == NLMSG_DONE) return rows;
        if (msg->nlmsg_type == NLMSG_ERROR) return std::nullopt;
        if (msg->nlmsg_type != RTM_NEWNEIGH) continue;
        const auto* nd = static_cast<const ndmsg*>(NLMSG_DATA(msg));
        if (nd->ndm_family != AF_INET) continue;
        int attrLen =
            static_cast<int>(msg->nlmsg_len) - static_cast<int>(NLMSG_LENGTH(sizeof(ndmsg)));
        for (auto* rta = reinterpret_cast<rtattr*>(
                 const_cast<char*>(reinterpret_cast<const char*>(nd) + NLMSG_ALIGN(sizeof(ndmsg))));
             RTA_OK(rta, attrLen); rta = RTA_NEXT(rta, attrLen)) {
          if (rta->rta_type == NDA_DST && RTA_PAYLOAD(rta) == 4) {
            TArpRow row;
            std::memcpy(&row.Address, RTA_DATA(rta), 4);
            row.InterfaceIndex = nd->ndm_ifindex;
            rows.push_back(row);
          }
        }
      }
    }
    return std::nullopt;
  }

  bool DeleteArpRow(const TArpRow& row) override {
    NetlinkSocket nl;
    if (!nl.Ok()) return false;
    NeighRequest req{};
    req.Header.nlmsg_type = RTM_DELNEIGH;
    req.Header.nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK;
    req.Header.nlmsg_seq = 2;
    req.Neigh.ndm_family = AF_INET;
    req.Neigh.ndm_ifindex = row.InterfaceIndex;
    auto* rta = reinterpret_cast<rtattr*>(req.Attributes);
    rta->rta_type = NDA_DST;
    rta->rta_len = RTA_LENGTH(4);
    std::memcpy(RTA_DATA(rta), &row.Address, 4);
    req.Header.nlmsg_len = NLMSG_ALIGN(NLMSG_LENGTH(sizeof(ndmsg))) + RTA_ALIGN(rta->rta_len);
    if (send(nl.Fd(), &req, req.Header.nlmsg_len, 0) < 0) return false;
    std::array<char, 4096> buffer{};
    const ssize_t got = recv(nl.Fd(), buffer.data(), buffer.size(), 0);
    if (got < static_cast<ssize_t>(NLMSG_LENGTH(sizeof(nlmsgerr)))) return false;
    const auto* msg = reinterpret_cast<const nlmsghdr*>(buffer.data());
    if (msg->nlmsg_type != NLMSG_ERROR) return false;
    const auto* err = static_cast<const nlmsgerr*>(NLMSG_DATA(msg));
    return err->error == 0; // EPERM for an unprivileged process: the caller passes over the row
  }

  uint32_t RouteSourceAddress(uint32_t target) override {
    // Connecting a datagram socket sends nothing; it only makes the kernel choose the route and
    // with it the source address, which getsockname then tells.
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kRouteProbePort);
    to.sin_addr.s_addr = target;
    uint32_t source = 0;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
      sockaddr_in local{};
      socklen_t len = sizeof local;
      if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len) == 0)
        source = local.sin_addr.s_addr;
    }
    close(fd);
    return source;
  }

private:
  static constexpr uint16_t kRouteProbePort = 21105; // any port: nothing is sent
};

} // namespace

std::shared_ptr<IPlatform> CreateSystemPlatform() {
  return std::make_shared<LinuxPlatform>();
}

} // namespace kavelo
