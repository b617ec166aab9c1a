#include "SimFrame.h"

#include <cstdio>

namespace kavelosim {

uint16_t GetLE16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t GetLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutLE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

void AppendLE16(Bytes& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void AppendLE32(Bytes& out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>((v >> (8 * i)) & 0xFF));
}

uint8_t XorOf(const uint8_t* p, size_t n) {
  uint8_t x = 0;
  for (size_t i = 0; i < n; ++i)
    x = static_cast<uint8_t>(x ^ p[i]);
  return x;
}

std::vector<FrameView> SplitDatagram(const uint8_t* data, size_t len) {
  std::vector<FrameView> frames;
  size_t pos = 0;
  while (len - pos >= kFrameHeadBytes) {
    const size_t frameLen = GetLE16(data + pos);
    if (frameLen < kFrameHeadBytes || frameLen > len - pos) break;
    FrameView f;
    f.frame = data + pos;
    f.length = frameLen;
    f.header = GetLE16(data + pos + 2);
    frames.push_back(f);
    pos += frameLen;
  }
  return frames;
}

Bytes BuildFrame(uint16_t header, const Bytes& payload) {
  Bytes out;
  out.reserve(kFrameHeadBytes + payload.size());
  AppendLE16(out, static_cast<uint16_t>(payload.size() + kFrameHeadBytes));
  AppendLE16(out, header);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

std::string IPv4ToText(uint32_t ip) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", ip & 0xFF, (ip >> 8) & 0xFF, (ip >> 16) & 0xFF,
                (ip >> 24) & 0xFF);
  return buf;
}

std::optional<uint32_t> ParseIPv4(const std::string& text) {
  uint32_t value = 0;
  int octet = 0;
  size_t i = 0;
  while (octet < 4) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    unsigned n = 0;
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      n = n * 10 + static_cast<unsigned>(text[i] - '0');
      if (++digits > 3 || n > 255) return std::nullopt;
      ++i;
    }
    value |= n << (8 * octet);
    ++octet;
    if (octet < 4) {
      if (i >= text.size() || text[i] != '.') return std::nullopt;
      ++i;
    }
  }
  if (i != text.size()) return std::nullopt;
  return value;
}

std::string EndpointToText(const Endpoint& ep) {
  return IPv4ToText(ep.ip) + ":" + std::to_string(ep.port);
}

namespace {

std::string Hex32(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

std::string DescribeFlash(const uint8_t* f, size_t len) {
  if (len < 9) return "flash (short, " + std::to_string(len) + " bytes)";
  char cmd[8];
  std::snprintf(cmd, sizeof cmd, "%02X", f[4]);
  std::string s = std::string(cmd) + " addr=" + Hex32(GetLE32(f + 5));
  switch (f[4]) {
  case kCmdErase:
    break;
  case kCmdBlankCheck:
  case kCmdVerify:
    if (len == 11) {
      s += " page=" + std::to_string(GetLE16(f + 9));
    } else if (f[4] == kCmdVerify && len >= 10) {
      s += " pass=" + std::to_string(f[9]);
    }
    break;
  case kCmdRead:
  case kCmdWrite:
    if (len >= 11) s += " n=" + std::to_string(GetLE16(f + 9));
    break;
  default:
    break;
  }
  s += " len=" + std::to_string(len);
  return s;
}

} // namespace

std::string DescribeFrame(const uint8_t* f, size_t len) {
  if (len < kFrameHeadBytes) return "runt (" + std::to_string(len) + " bytes)";
  const uint16_t header = GetLE16(f + 2);
  switch (header) {
  case kHeaderFlash:
    return DescribeFlash(f, len);
  case kHeaderUpdateMode:
    if (len == 8) return "update-mode ip=" + IPv4ToText(GetLE32(f + 4));
    return "update-mode len=" + std::to_string(len);
  case kHeaderAnnounce:
    return "announce " + HexBytes(f + 4, len - 4, 8);
  case kHeaderRestart:
    return "restart";
  case kHeaderPowerOff:
    return "power-off";
  default: {
    char buf[48];
    std::snprintf(buf, sizeof buf, "header 0x%04X len=%zu", header, len);
    return buf;
  }
  }
}

std::string HexBytes(const uint8_t* p, size_t n, size_t maxBytes) {
  std::string s;
  char buf[4];
  for (size_t i = 0; i < n && i < maxBytes; ++i) {
    std::snprintf(buf, sizeof buf, i == 0 ? "%02X" : " %02X", p[i]);
    s += buf;
  }
  if (n > maxBytes) s += " ..";
  return s;
}

} // namespace kavelosim
