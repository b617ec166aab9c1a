#include "net/Frame.h"

namespace kavelo {

std::vector<uint8_t> BuildFrame(uint16_t header, const uint8_t* payload, size_t payloadSize) {
  std::vector<uint8_t> frame(kFrameHeadSize + payloadSize);
  WriteLE16(frame.data(), static_cast<uint16_t>(payloadSize + kFrameHeadSize));
  WriteLE16(frame.data() + 2, header);
  if (payloadSize) std::copy(payload, payload + payloadSize, frame.begin() + kFrameHeadSize);
  return frame;
}

size_t WalkDatagram(const uint8_t* data, size_t length,
                    const std::function<void(const TFrameView&)>& deliver) {
  size_t offset = 0;
  size_t delivered = 0;
  while (offset < length) {
    if (length - offset < kFrameHeadSize) break;
    const uint16_t dataLen = ReadLE16(data + offset);
    if (dataLen < kFrameHeadSize || dataLen > length - offset) break;
    const TFrameView view{dataLen, ReadLE16(data + offset + 2), data + offset,
                          data + offset + kFrameHeadSize,
                          static_cast<uint16_t>(dataLen - kFrameHeadSize)};
    deliver(view);
    ++delivered;
    offset += dataLen;
  }
  return delivered;
}

uint8_t XorOf(const uint8_t* data, size_t size) {
  uint8_t x = 0;
  for (size_t i = 0; i < size; ++i) x ^= data[i];
  return x;
}

std::vector<uint8_t> BuildTunnelMessage(std::span<const uint8_t> message) {
  if (message.empty()) return {};
  const size_t n = message[0] & 0x0F;
  if (message.size() < n + 1) return {};
  std::vector<uint8_t> out(message.begin(), message.begin() + static_cast<long>(n + 1));
  out.push_back(XorOf(out.data(), out.size()));
  return out;
}

int ResultCodeOf(const uint8_t* frame, size_t length) {
  if (length < kResultFrameLength) return -1;
  if (ReadLE16(frame) != kResultFrameLength || frame[0] != kResultFrameLength) return -1;
  return frame[4];
}

} // namespace kavelo
