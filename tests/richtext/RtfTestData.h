#pragma once
// Byte builders shared by the reader tests: packed DIBs, hexadecimal text, tiny PNGs.

#include <QByteArray>
#include <QImage>
#include <cstdint>

namespace kavelo::richtext::test {

void PutLe32(QByteArray& out, uint32_t v);
void PutLe16(QByteArray& out, uint16_t v);

// A BITMAPINFOHEADER with the given fields; image size = stride * |height|.
QByteArray DibHeader(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression = 0,
                     uint32_t colorsUsed = 0);
// A complete 24-bit DIB whose pixels are the given BGR triples, bottom row first.
QByteArray Dib24(int32_t width, int32_t height, const QByteArray& bgrRowsBottomUp);
// The 1 x 1 24-bit DIB of one pure red pixel.
QByteArray RedPixelDib();

QByteArray Hex(const QByteArray& bytes);
QByteArray PngBytes(const QImage& image);
// A PNG signature and IHDR chunk (with a correct CRC) declaring the given size, no data.
QByteArray PngHeaderOnly(uint32_t width, uint32_t height);

} // namespace kavelo::richtext::test
