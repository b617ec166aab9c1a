#pragma once
// A small well-behaved handheld flash for the reply fuzzer: the answers a handheld gives, over
// a flash of a few units into which every address is folded, so any 32-bit address is served.

#include "net/Frame.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kavelo::fuzz {

struct TModelReply {
  uint16_t Header;
  std::vector<uint8_t> Payload;
};

class TFlashModel {
public:
  static constexpr uint32_t kSize = 0x20000; // two 64 KB units
  std::vector<uint8_t> Flash = std::vector<uint8_t>(kSize, 0xFF);

  uint8_t& At(uint32_t address) { return Flash[address % kSize]; }

  // The answer to a request frame (length field included), or nothing for a frame a handheld
  // does not answer.
  std::optional<TModelReply> Answer(const std::vector<uint8_t>& f) {
    if (f.size() < 4) return std::nullopt;
    const uint16_t header = ReadLE16(f.data() + 2);
    if (header == 0x0041) return TModelReply{0x0041, {0, 0, 0, 0}};
    if (header != 0x00B0 || f.size() < 9) return std::nullopt;
    const uint8_t command = f[4];
    const uint32_t addr = ReadLE32(f.data() + 5);
    const uint32_t unit = addr & ~0xFFFFu;
    std::vector<uint8_t> payload(f.begin() + 4, f.begin() + 9);
    const auto putPage = [&](uint16_t page) {
      payload.push_back(static_cast<uint8_t>(page));
      payload.push_back(static_cast<uint8_t>(page >> 8));
    };
    switch (command) {
    case 0xE1:
      for (uint32_t k = 0; k < 0x10000; ++k) At(unit + k) = 0xFF;
      return TModelReply{0x00B0, payload};
    case 0xE3: {
      uint16_t page = 256;
      for (uint32_t k = 0; k < 0x10000 && page == 256; ++k)
        if (At(unit + k) != 0xFF) page = static_cast<uint16_t>(k / 256);
      putPage(page);
      return TModelReply{0x00B0, payload};
    }
    case 0xE5: {
      if (f.size() < 12) return std::nullopt;
      const uint16_t n = ReadLE16(f.data() + 9);
      payload.push_back(f[9]);
      payload.push_back(f[10]);
      for (uint32_t k = 0; k < n; ++k) payload.push_back(At(addr + k));
      return TModelReply{0x00B0, payload};
    }
    case 0xE4: {
      if (f.size() < 12) return std::nullopt;
      const uint16_t n = ReadLE16(f.data() + 9);
      if (f.size() < 12u + n) return std::nullopt;
      for (uint32_t k = 0; k < n; ++k) At(addr + k) &= f[12 + k]; // writing only clears bits
      payload.insert(payload.end(), f.begin() + 9, f.begin() + 12);
      for (uint32_t k = 0; k < n; ++k) payload.push_back(At(addr + k));
      return TModelReply{0x00B0, payload};
    }
    case 0xE2: {
      if (f.size() < 266) return std::nullopt;
      uint16_t page = 256;
      for (uint32_t p = 0; p < 256 && page == 256; ++p) {
        uint8_t x = 0x55;
        uint8_t s = 0xAA;
        for (uint32_t k = 0; k < 256; ++k) {
          x ^= At(unit + p * 256 + k);
          s = static_cast<uint8_t>(s + At(unit + p * 256 + k));
        }
        if ((f[9] == 1 ? x : s) != f[10 + p]) page = static_cast<uint16_t>(p);
      }
      putPage(page);
      return TModelReply{0x00B0, payload};
    }
    default:
      return std::nullopt;
    }
  }
};

} // namespace kavelo::fuzz
