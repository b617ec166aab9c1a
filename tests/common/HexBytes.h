#pragma once
// Bytes written as hexadecimal text, and frames, for tables of expected datagrams.

#include "common/ScriptedPeer.h"
#include "net/Frame.h"

#include <cstdio>
#include <sstream>
#include <string>

namespace kavelo::test {

// "07 00 40 00" -> bytes
inline TBytes H(const char* hex) {
  TBytes out;
  std::istringstream in(hex);
  std::string byte;
  while (in >> byte) out.push_back(static_cast<uint8_t>(std::stoul(byte, nullptr, 16)));
  return out;
}

inline std::string Hex(const TBytes& bytes) {
  std::string s;
  char b[4];
  for (uint8_t v : bytes) {
    std::snprintf(b, sizeof b, s.empty() ? "%02X" : " %02X", v);
    s += b;
  }
  return s;
}

inline TBytes Frame(uint16_t header, const TBytes& payload = {}) {
  return BuildFrame(header, payload.data(), payload.size());
}

} // namespace kavelo::test
