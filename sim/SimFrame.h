// The simulator's own view of the LAN frame: a 16-bit little-endian total
// length, a 16-bit little-endian header and the payload. Kept apart from the
// tool's frame code on purpose, so that a mistake on one side is not silently
// mirrored by the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavelosim {

using Bytes = std::vector<uint8_t>;

// Headers the handheld knows.
inline constexpr uint16_t kHeaderAnnounce = 0x0010;
inline constexpr uint16_t kHeaderRestart = 0x0031;
inline constexpr uint16_t kHeaderPowerOff = 0x0032;
inline constexpr uint16_t kHeaderUpdateMode = 0x0041;
inline constexpr uint16_t kHeaderFlash = 0x00B0;

// Flash command bytes (offset 4 of a 0x00B0 frame).
inline constexpr uint8_t kCmdErase = 0xE1;
inline constexpr uint8_t kCmdVerify = 0xE2;
inline constexpr uint8_t kCmdBlankCheck = 0xE3;
inline constexpr uint8_t kCmdWrite = 0xE4;
inline constexpr uint8_t kCmdRead = 0xE5;

inline constexpr uint8_t kToolAnnouncePayload = 0x12;
inline constexpr uint8_t kWriteModeByte = 0x02;
inline constexpr size_t kFrameHeadBytes = 4;
inline constexpr uint16_t kDefaultPort = 21105;

// An IPv4 address as a value whose lowest byte is the first dotted number,
// the same convention the update-mode payload uses on the wire.
struct Endpoint {
  uint32_t ip = 0;
  uint16_t port = 0;
  bool operator==(const Endpoint&) const = default;
};

uint16_t GetLE16(const uint8_t* p);
uint32_t GetLE32(const uint8_t* p);
void PutLE16(uint8_t* p, uint16_t v);
void PutLE32(uint8_t* p, uint32_t v);
void AppendLE16(Bytes& out, uint16_t v);
void AppendLE32(Bytes& out, uint32_t v);

// XOR of bytes [0, n).
uint8_t XorOf(const uint8_t* p, size_t n);

// One frame of a datagram, pointing into the datagram's storage.
struct FrameView {
  uint16_t header = 0;
  const uint8_t* frame = nullptr; // the whole frame, length field included
  size_t length = 0;              // total length, as the length field says
  const uint8_t* Payload() const { return frame + kFrameHeadBytes; }
  size_t PayloadLength() const { return length - kFrameHeadBytes; }
};

// Splits a received datagram into its frames. A length field below 4 or
// beyond the end of the datagram ends the walk; what came before is kept.
std::vector<FrameView> SplitDatagram(const uint8_t* data, size_t len);

// Builds a frame; the length field is filled in from the payload size.
Bytes BuildFrame(uint16_t header, const Bytes& payload);

std::string IPv4ToText(uint32_t ip);
std::optional<uint32_t> ParseIPv4(const std::string& text);
std::string EndpointToText(const Endpoint& ep);

// One readable line for a frame, for logs: "E4 addr=0x00000400 n=256".
std::string DescribeFrame(const uint8_t* frame, size_t len);

// Hex dump, "0B 00 B0 00 ...", at most maxBytes bytes followed by "..".
std::string HexBytes(const uint8_t* p, size_t n, size_t maxBytes = 32);

} // namespace kavelosim
