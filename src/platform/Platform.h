#pragma once
// What the address helpers need from the operating system: the adapter list and the ARP cache.
// Tests replace the real implementation with one that poses any adapter list.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kavelo {

struct TAdapterInfo {
  std::string Name;
  std::string IpAddress; // first IPv4 address, dotted
  std::string IpMask;    // its mask, dotted
};

struct TArpRow {
  uint32_t Address = 0; // network byte order, as the address helpers hold addresses
  int InterfaceIndex = 0;
};

class IPlatform {
public:
  virtual ~IPlatform() = default;
  // The network adapters in the platform's order; an empty list when none can be read.
  virtual std::vector<TAdapterInfo> AdapterList() = 0;
  // The ARP cache rows, unsorted; nothing when the table cannot be read.
  virtual std::optional<std::vector<TArpRow>> ArpTable() = 0;
  // Deletes one row as ArpTable returned it; false when the row could not be deleted.
  virtual bool DeleteArpRow(const TArpRow& row) = 0;
  // The local address through which this machine sends to target (the source address of its
  // route), network byte order; 0 when there is no route.
  virtual uint32_t RouteSourceAddress(uint32_t target) = 0;
};

// The platform in use; the real one unless a test installed another.
IPlatform& Platform();
// Installs a replacement (nullptr restores the real platform). Returns the previous override.
std::shared_ptr<IPlatform> SetPlatform(std::shared_ptr<IPlatform> platform);
// The operating system's own implementation.
std::shared_ptr<IPlatform> CreateSystemPlatform();

} // namespace kavelo
