#pragma once
// Reads a fuzz input as a sequence of decisions. Past the end every read yields zero (and
// bytes come back empty), so any input, however short, is a complete run.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kavelo::fuzz {

class TFuzzInput {
public:
  TFuzzInput(const uint8_t* data, size_t size) : fData(data), fSize(size) {}

  bool Empty() const { return fPos >= fSize; }
  size_t Remaining() const { return fSize - fPos; }

  uint8_t Byte() { return fPos < fSize ? fData[fPos++] : 0; }
  bool Bool() { return (Byte() & 1) != 0; }
  uint16_t U16() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  uint32_t U32() { return static_cast<uint32_t>(U16()) | (static_cast<uint32_t>(U16()) << 16); }

  // A value in [low, high]; inputs wider than one byte only when the range needs them.
  uint32_t Range(uint32_t low, uint32_t high) {
    const uint64_t span = static_cast<uint64_t>(high) - low + 1;
    uint64_t raw = 0;
    if (span <= 0x100) raw = Byte();
    else if (span <= 0x10000) raw = U16();
    else raw = U32();
    return static_cast<uint32_t>(low + raw % span);
  }

  std::vector<uint8_t> Bytes(size_t count) {
    const size_t n = std::min(count, Remaining());
    std::vector<uint8_t> out(fData + fPos, fData + fPos + n);
    fPos += n;
    return out;
  }
  std::vector<uint8_t> Rest() { return Bytes(Remaining()); }

private:
  const uint8_t* fData;
  size_t fSize;
  size_t fPos = 0;
};

} // namespace kavelo::fuzz
