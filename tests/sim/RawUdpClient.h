// A bare UDP peer for the tests: what the tool would be, minus the tool.
#pragma once

#include "TestFrames.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace simtest {

struct Datagram {
  Bytes bytes;
  std::string fromIp;
  uint16_t fromPort = 0;
};

class RawUdpClient {
public:
  // Binds ip:port; check ok() before use.
  explicit RawUdpClient(const std::string& ip, uint16_t port = 21105);
  ~RawUdpClient();
  RawUdpClient(const RawUdpClient&) = delete;
  RawUdpClient& operator=(const RawUdpClient&) = delete;

  bool ok() const { return fFd >= 0; }
  const std::string& error() const { return fError; }
  void EnableBroadcast();

  bool SendTo(const std::string& ip, const Bytes& bytes, uint16_t port = 21105);
  // The next datagram within `timeout`, or nothing.
  std::optional<Datagram> Receive(std::chrono::milliseconds timeout);
  // Everything that arrives until nothing came for `quiet` (bounded by `limit`).
  std::vector<Datagram> ReceiveAll(std::chrono::milliseconds quiet,
                                   std::chrono::milliseconds limit = std::chrono::seconds(3));
  // Sends and returns the first reply within `timeout`, or an empty vector.
  Bytes Exchange(const std::string& ip, const Bytes& request,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

private:
  int fFd = -1;
  std::string fError;
};

} // namespace simtest
