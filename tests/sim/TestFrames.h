// Requests built byte by byte, the way the tool puts them on the wire, and
// small readers for the replies. Deliberately independent of the
// simulator's own frame code, so that a mistake there is not mirrored here.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

inline uint8_t B(uint32_t v, int byte) {
  return static_cast<uint8_t>((v >> (8 * byte)) & 0xFF);
}

inline uint16_t Le16At(const Bytes& b, size_t off) {
  return static_cast<uint16_t>(b.at(off) | (b.at(off + 1) << 8));
}

inline uint32_t Le32At(const Bytes& b, size_t off) {
  return static_cast<uint32_t>(b.at(off)) | (static_cast<uint32_t>(b.at(off + 1)) << 8) |
         (static_cast<uint32_t>(b.at(off + 2)) << 16) |
         (static_cast<uint32_t>(b.at(off + 3)) << 24);
}

inline uint8_t XorAll(const Bytes& b) {
  uint8_t x = 0;
  for (uint8_t v : b)
    x ^= v;
  return x;
}

// 09 00 B0 00 E1 a0 a1 a2 a3
inline Bytes EraseReq(uint32_t a) {
  return {0x09, 0x00, 0xB0, 0x00, 0xE1, B(a, 0), B(a, 1), B(a, 2), B(a, 3)};
}
inline Bytes BlankReq(uint32_t a) {
  return {0x09, 0x00, 0xB0, 0x00, 0xE3, B(a, 0), B(a, 1), B(a, 2), B(a, 3)};
}

// 0C 00 B0 00 E5 addr n, then the XOR of those 11 bytes.
inline Bytes ReadReq(uint32_t a, uint16_t n) {
  Bytes b{0x0C, 0x00, 0xB0, 0x00, 0xE5, B(a, 0), B(a, 1), B(a, 2), B(a, 3), B(n, 0), B(n, 1)};
  b.push_back(XorAll(b));
  return b;
}

// L 00 B0 00 E4 addr n 02 data..., L = 12 + n, no check byte.
inline Bytes WriteReq(uint32_t a, const Bytes& data) {
  const uint32_t n = static_cast<uint32_t>(data.size());
  const uint32_t len = 12 + n;
  const uint8_t head[12] = {B(len, 0), B(len, 1), 0xB0,    0x00,    0xE4,    B(a, 0),
                            B(a, 1),   B(a, 2),   B(a, 3), B(n, 0), B(n, 1), 0x02};
  Bytes b(len);
  std::copy(std::begin(head), std::end(head), b.begin());
  std::copy(data.begin(), data.end(), b.begin() + 12);
  return b;
}

// 0B 01 B0 00 E2 addr pass sig[0..255], then the XOR of those 266 bytes.
inline Bytes VerifyReq(uint32_t a, uint8_t pass, const std::array<uint8_t, 256>& sigs) {
  const uint8_t head[10] = {0x0B, 0x01, 0xB0, 0x00, 0xE2, B(a, 0), B(a, 1), B(a, 2), B(a, 3), pass};
  Bytes b(267);
  std::copy(std::begin(head), std::end(head), b.begin());
  std::copy(sigs.begin(), sigs.end(), b.begin() + 10);
  b[266] = XorAll(Bytes(b.begin(), b.begin() + 266));
  return b;
}

// Page signatures of a 64 KB unit image: pass 1 is 0x55 XOR the page's
// bytes, pass 2 is 0xAA plus the page's bytes, modulo 256.
inline std::array<uint8_t, 256> Signatures(const Bytes& unit, uint8_t pass) {
  std::array<uint8_t, 256> sig{};
  for (size_t p = 0; p < 256; ++p) {
    uint8_t s = pass == 1 ? 0x55 : 0xAA;
    for (size_t i = 0; i < 256; ++i) {
      const uint8_t v = unit.at(p * 256 + i);
      s = pass == 1 ? static_cast<uint8_t>(s ^ v) : static_cast<uint8_t>(s + v);
    }
    sig[p] = s;
  }
  return sig;
}

inline Bytes UpdateModeReq(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return {0x08, 0x00, 0x41, 0x00, a, b, c, d};
}
inline const Bytes kRestart{0x04, 0x00, 0x31, 0x00};
inline const Bytes kPowerOff{0x04, 0x00, 0x32, 0x00};
inline const Bytes kToolAnnounce{0x05, 0x00, 0x10, 0x00, 0x12};

inline uint16_t HeaderOf(const Bytes& frame) {
  return Le16At(frame, 2);
}
// Page number in a blank-check or verify reply.
inline uint16_t PageOf(const Bytes& reply) {
  return Le16At(reply, 9);
}

// A pattern that is different in every page and never all 0xFF.
inline Bytes Pattern(size_t n, uint32_t salt = 0) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i)
    b[i] = static_cast<uint8_t>((i * 7 + (i >> 8) * 13 + salt) & 0xFF);
  return b;
}

} // namespace simtest
