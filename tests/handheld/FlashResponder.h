#pragma once
// A minimal, well-behaved flash behind the scripted link, for tests that need correct answers;
// each test bends single replies through Override.

#include "common/ScriptedKaveloLink.h"

#include <optional>

namespace kavelo::test {

class TFlashResponder {
public:
  TBytes Flash = TBytes(0x80000, 0xFF);
  // Returns a replacement reply list for a request, or nothing to answer normally.
  std::function<std::optional<std::vector<TDeviceReply>>(const TBytes& frame)> Override;

  std::vector<TDeviceReply> operator()(const TBytes& f) {
    if (Override)
      if (auto replaced = Override(f)) return *replaced;
    return Normal(f);
  }

  // The answer of a well-behaved handheld.
  std::vector<TDeviceReply> Normal(const TBytes& f) {
    const uint16_t header = ReadLE16(f.data() + 2);
    if (header == 0x0041) return {{0x0041, {0, 0, 0, 0}}};
    if (header != 0x00B0 || f.size() < 9) return {};
    const uint8_t command = f[4];
    const uint32_t addr = ReadLE32(f.data() + 5);
    TBytes payload(f.begin() + 4, f.begin() + 9);
    switch (command) {
    case 0xE1:
      std::fill_n(Flash.begin() + (addr & ~0xFFFFu), 0x10000, 0xFF);
      return {{0x00B0, payload}};
    case 0xE3: {
      uint16_t page = 256;
      for (uint32_t p = 0; p < 256 && page == 256; ++p)
        for (uint32_t k = 0; k < 256; ++k)
          if (Flash[(addr & ~0xFFFFu) + p * 256 + k] != 0xFF) {
            page = static_cast<uint16_t>(p);
            break;
          }
      payload.push_back(static_cast<uint8_t>(page));
      payload.push_back(static_cast<uint8_t>(page >> 8));
      return {{0x00B0, payload}};
    }
    case 0xE5: {
      const uint16_t n = ReadLE16(f.data() + 9);
      payload.push_back(f[9]);
      payload.push_back(f[10]);
      payload.insert(payload.end(), Flash.begin() + addr, Flash.begin() + addr + n);
      return {{0x00B0, payload}};
    }
    case 0xE4: {
      const uint16_t n = ReadLE16(f.data() + 9);
      for (uint16_t k = 0; k < n; ++k) Flash[addr + k] &= f[12 + k];
      payload.insert(payload.end(), f.begin() + 9, f.begin() + 12);
      payload.insert(payload.end(), Flash.begin() + addr, Flash.begin() + addr + n);
      return {{0x00B0, payload}};
    }
    case 0xE2: {
      uint16_t page = 256;
      const uint32_t unit = addr & ~0xFFFFu;
      for (uint32_t p = 0; p < 256 && page == 256; ++p) {
        uint8_t x = 0x55, s = 0xAA;
        for (uint32_t k = 0; k < 256; ++k) {
          x ^= Flash[unit + p * 256 + k];
          s = static_cast<uint8_t>(s + Flash[unit + p * 256 + k]);
        }
        if ((f[9] == 1 ? x : s) != f[10 + p]) page = static_cast<uint16_t>(p);
      }
      payload.push_back(static_cast<uint8_t>(page));
      payload.push_back(static_cast<uint8_t>(page >> 8));
      return {{0x00B0, payload}};
    }
    default:
      return {};
    }
  }
};

} // namespace kavelo::test
