#pragma once
// The LAN frame that every datagram of the Orvo system carries: LE16 total length (header
// included), LE16 header, payload.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace kavelo {

inline constexpr uint16_t kOrvoUdpPort = 21105;
inline constexpr size_t kFrameHeadSize = 4;
inline constexpr size_t kMaxPayloadSize = 65531;
// The endpoint's receive buffer; a longer datagram is dropped whole.
inline constexpr size_t kMaxDatagramSize = 8192;
inline constexpr uint16_t kTunnelHeader = 0x41;
inline constexpr uint16_t kResultHeader = 0x20;
inline constexpr uint16_t kResultFrameLength = 5;
inline constexpr size_t kMaxTunnelMessageSize = 17;

inline uint16_t ReadLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void WriteLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void WriteLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// One frame: DataLen = payload size + 4, cut to 16 bits as the wire field is.
std::vector<uint8_t> BuildFrame(uint16_t header, const uint8_t* payload, size_t payloadSize);

struct TFrameView {
  uint16_t DataLen;
  uint16_t Header;
  const uint8_t* Frame;   // DataLen bytes, head included
  const uint8_t* Payload; // DataLen - 4 bytes
  uint16_t PayloadSize;
};

// Splits a received datagram into its frames, in order. A DataLen below 4 or one that runs past
// the end of the datagram ends the walk: the frames before it are delivered, nothing past the
// end is read. Returns the number of frames delivered.
size_t WalkDatagram(const uint8_t* data, size_t length,
                    const std::function<void(const TFrameView&)>& deliver);

// The tunnel message: the first n + 1 bytes of message (n = low 4 bits of its first byte) and
// their XOR. Empty when message is empty or shorter than its X-header says.
std::vector<uint8_t> BuildTunnelMessage(std::span<const uint8_t> message);

uint8_t XorOf(const uint8_t* data, size_t size);

// The result code of a result frame (header 0x20, DataLen 5), or -1 for anything else.
int ResultCodeOf(const uint8_t* frame, size_t length);

} // namespace kavelo
