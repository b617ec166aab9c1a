#include "RtfTestData.h"

#include <QBuffer>

namespace kavelo::richtext::test {

void PutLe32(QByteArray& out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutLe16(QByteArray& out, uint16_t v) {
  out.append(static_cast<char>(v & 0xFF));
  out.append(static_cast<char>(v >> 8));
}

QByteArray DibHeader(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                     uint32_t colorsUsed) {
  const int64_t h = height < 0 ? -static_cast<int64_t>(height) : height;
  const int64_t stride = (static_cast<int64_t>(width) * bitCount + 31) / 32 * 4;
  QByteArray out;
  PutLe32(out, 40);
  PutLe32(out, static_cast<uint32_t>(width));
  PutLe32(out, static_cast<uint32_t>(height));
  PutLe16(out, 1);
  PutLe16(out, bitCount);
  PutLe32(out, compression);
  PutLe32(out, static_cast<uint32_t>(stride * h));
  PutLe32(out, 0);
  PutLe32(out, 0);
  PutLe32(out, colorsUsed);
  PutLe32(out, 0);
  return out;
}

QByteArray Dib24(int32_t width, int32_t height, const QByteArray& bgrRowsBottomUp) {
  QByteArray out = DibHeader(width, height, 24);
  const int rowBytes = width * 3;
  const int stride = (rowBytes + 3) / 4 * 4;
  for (int r = 0; r < height; ++r) {
    out.append(bgrRowsBottomUp.mid(r * rowBytes, rowBytes));
    out.append(QByteArray(stride - rowBytes, '\0'));
  }
  return out;
}

QByteArray RedPixelDib() {
  return Dib24(1, 1, QByteArray("\x00\x00\xFF", 3));
}

QByteArray Hex(const QByteArray& bytes) {
  return bytes.toHex().toUpper();
}

QByteArray PngBytes(const QImage& image) {
  QByteArray out;
  QBuffer buffer(&out);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return out;
}

namespace {

uint32_t Crc32(const QByteArray& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : data) {
    crc ^= static_cast<uint8_t>(c);
    for (int k = 0; k < 8; ++k)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBe32(QByteArray& out, uint32_t v) {
  for (int i = 3; i >= 0; --i)
    out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

} // namespace

QByteArray PngHeaderOnly(uint32_t width, uint32_t height) {
  QByteArray out("\x89PNG\r\n\x1A\n", 8);
  QByteArray chunk("IHDR");
  PutBe32(chunk, width);
  PutBe32(chunk, height);
  chunk.append("\x08\x02\x00\x00\x00", 5); // 8-bit RGB, no interlace
  PutBe32(out, 13);
  out.append(chunk);
  PutBe32(out, Crc32(chunk));
  return out;
}

} // namespace kavelo::richtext::test
