#pragma once
// A platform whose adapter list and ARP cache a test poses.

#include "platform/Platform.h"

#include <map>
#include <mutex>

namespace kavelo::test {

class TFakePlatform : public IPlatform {
public:
  std::vector<TAdapterInfo> Adapters;
  std::optional<std::vector<TArpRow>> Arp;
  std::vector<uint32_t> Undeletable; // rows the process may not delete
  std::vector<TArpRow> Deleted;
  std::vector<TArpRow> DeleteAttempts; // every row asked for, deleted or refused
  std::map<uint32_t, uint32_t> Routes; // target -> source address; no entry: no route

  std::vector<TAdapterInfo> AdapterList() override {
    std::lock_guard lock(fMutex);
    return Adapters;
  }
  std::optional<std::vector<TArpRow>> ArpTable() override {
    std::lock_guard lock(fMutex);
    return Arp;
  }
  bool DeleteArpRow(const TArpRow& row) override {
    std::lock_guard lock(fMutex);
    DeleteAttempts.push_back(row);
    for (uint32_t a : Undeletable)
      if (a == row.Address) return false;
    Deleted.push_back(row);
    return true;
  }
  uint32_t RouteSourceAddress(uint32_t target) override {
    std::lock_guard lock(fMutex);
    const auto it = Routes.find(target);
    return it == Routes.end() ? 0 : it->second;
  }

private:
  std::mutex fMutex;
};

// Installs a fake platform for the lifetime of a test.
class TScopedPlatform {
public:
  explicit TScopedPlatform(std::shared_ptr<IPlatform> platform)
      : fPrevious(SetPlatform(std::move(platform))) {}
  ~TScopedPlatform() { SetPlatform(fPrevious); }
  TScopedPlatform(const TScopedPlatform&) = delete;
  TScopedPlatform& operator=(const TScopedPlatform&) = delete;

private:
  std::shared_ptr<IPlatform> fPrevious;
};

// The only adapter is the tool's side of a loopback pair: <prefix>.1/24.
inline std::shared_ptr<TFakePlatform> LoopbackPairPlatform(const std::string& prefix) {
  auto platform = std::make_shared<TFakePlatform>();
  platform->Adapters = {{"lo", prefix + ".1", "255.255.255.0"}};
  platform->Arp = std::vector<TArpRow>{};
  return platform;
}

} // namespace kavelo::test
