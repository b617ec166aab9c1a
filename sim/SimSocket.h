// Thin POSIX UDP helpers for the simulator's runner.
#pragma once

#include "SimFrame.h"

#include <optional>
#include <string>

namespace kavelosim {

// A non-blocking UDP socket bound to ip:port, or -1 with *error set.
// `shared` lets several sockets (of several simulators) bind the same
// address, which is what the broadcast listeners need.
int OpenUdpSocket(uint32_t ip, uint16_t port, bool shared, std::string* error);

// The broadcast address of the interface that holds `ip`, when that
// interface is up and broadcasts.
std::optional<uint32_t> InterfaceBroadcastOf(uint32_t ip);

bool SendDatagram(int fd, const Endpoint& to, const Bytes& bytes);

// Reads one datagram; false when none is waiting. A datagram longer than
// the buffer comes back with `truncated` set.
struct Datagram {
  Endpoint from;
  Bytes bytes;
  bool truncated = false;
};
bool ReceiveDatagram(int fd, Datagram& out);

void CloseFd(int& fd);

} // namespace kavelosim
