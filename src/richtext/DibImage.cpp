#include "richtext/DibImage.h"

#include "richtext/RichTextLimits.h"

#include <cstdlib>

namespace kavelo::richtext {

namespace {

uint32_t Le32(QByteArrayView data, qsizetype at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(data[at])) |
         (static_cast<uint32_t>(static_cast<uint8_t>(data[at + 1])) << 8) |
         (static_cast<uint32_t>(static_cast<uint8_t>(data[at + 2])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(data[at + 3])) << 24);
}

uint16_t Le16(QByteArrayView data, qsizetype at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(data[at]) |
                               (static_cast<uint8_t>(data[at + 1]) << 8));
}

DibStatus Fail(DibStatus status, QString* why, const char* text) {
  if (why) *why = QString::fromLatin1(text);
  return status;
}

QRgb PaletteEntry(QByteArrayView table, int index, int count) {
  if (index >= count) return qRgb(0, 0, 0); // an index past the table draws black
  const qsizetype at = static_cast<qsizetype>(index) * 4;
  return qRgb(static_cast<uint8_t>(table[at + 2]), static_cast<uint8_t>(table[at + 1]),
              static_cast<uint8_t>(table[at]));
}

QRgb PixelAt(QByteArrayView row, int x, const DibLayout& layout, QByteArrayView table) {
  switch (layout.bitCount) {
  case 1:
  case 4:
  case 8: {
    const int bitsPerPixel = layout.bitCount;
    const int64_t bit = static_cast<int64_t>(x) * bitsPerPixel;
    const uint8_t byte = static_cast<uint8_t>(row[static_cast<qsizetype>(bit / 8)]);
    const int shift = 8 - bitsPerPixel - static_cast<int>(bit % 8);
    const int index = (byte >> shift) & ((1 << bitsPerPixel) - 1);
    return PaletteEntry(table, index, layout.colorCount);
  }
  case 16: {
    const uint16_t v = Le16(row, static_cast<qsizetype>(x) * 2);
    const auto expand = [](int five) { return (five << 3) | (five >> 2); };
    return qRgb(expand((v >> 10) & 31), expand((v >> 5) & 31), expand(v & 31));
  }
  case 24: {
    const qsizetype at = static_cast<qsizetype>(x) * 3;
    return qRgb(static_cast<uint8_t>(row[at + 2]), static_cast<uint8_t>(row[at + 1]),
                static_cast<uint8_t>(row[at]));
  }
  default: { // 32
    const qsizetype at = static_cast<qsizetype>(x) * 4;
    return qRgb(static_cast<uint8_t>(row[at + 2]), static_cast<uint8_t>(row[at + 1]),
                static_cast<uint8_t>(row[at]));
  }
  }
}

} // namespace

DibStatus ReadDibLayout(QByteArrayView dib, DibLayout& layout, QString* why) {
  if (dib.size() < kBitmapInfoHeaderSize)
    return Fail(DibStatus::Malformed, why, "shorter than a bitmap header");
  const uint32_t headerSize = Le32(dib, 0);
  if (headerSize < kBitmapInfoHeaderSize || headerSize > static_cast<uint64_t>(dib.size()))
    return Fail(DibStatus::Malformed, why, "header size outside the data");
  const int32_t width = static_cast<int32_t>(Le32(dib, 4));
  const int32_t rawHeight = static_cast<int32_t>(Le32(dib, 8));
  const uint16_t planes = Le16(dib, 12);
  const uint16_t bitCount = Le16(dib, 14);
  const uint32_t compression = Le32(dib, 16);
  const uint32_t colorsUsed = Le32(dib, 32);

  const int64_t height = std::llabs(static_cast<int64_t>(rawHeight));
  if (width <= 0 || height == 0) return Fail(DibStatus::Malformed, why, "empty picture");
  if (width > kMaxPictureSide || height > kMaxPictureSide ||
      static_cast<int64_t>(width) * height > kMaxPicturePixels)
    return Fail(DibStatus::Malformed, why, "picture too large");
  if (planes != 1) return Fail(DibStatus::Malformed, why, "planes other than 1");
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return Fail(DibStatus::Malformed, why, "unknown bit count");
  // Compressed rows are shorter than the stride, so the size check below does not apply.
  if (compression != kBiRgb)
    return Fail(DibStatus::Unsupported, why, "compressed or bit-field pictures are not drawn");

  int64_t colors = colorsUsed;
  if (bitCount <= 8) {
    const int64_t full = int64_t{1} << bitCount;
    if (colors == 0) colors = full;
    if (colors > full) return Fail(DibStatus::Malformed, why, "colour table too long");
  }
  const int64_t tableBytes = colors * 4;
  const int64_t stride = (static_cast<int64_t>(width) * bitCount + 31) / 32 * 4;
  const int64_t pixelBytes = stride * height;
  if (static_cast<int64_t>(headerSize) + tableBytes + pixelBytes > dib.size())
    return Fail(DibStatus::Malformed, why, "header promises more data than there is");

  layout.width = width;
  layout.height = static_cast<int32_t>(height);
  layout.topDown = rawHeight < 0;
  layout.bitCount = bitCount;
  layout.compression = compression;
  layout.colorCount = static_cast<int>(colors);
  layout.headerSize = static_cast<qsizetype>(headerSize);
  layout.colorTableBytes = static_cast<qsizetype>(tableBytes);
  layout.stride = static_cast<qsizetype>(stride);
  layout.pixelBytes = static_cast<qsizetype>(pixelBytes);
  return DibStatus::Ok;
}

QImage DibToImage(QByteArrayView dib, DibStatus* status, QString* why) {
  DibLayout layout;
  const DibStatus result = ReadDibLayout(dib, layout, why);
  if (status) *status = result;
  if (result != DibStatus::Ok) return {};
  QImage image(layout.width, layout.height, QImage::Format_RGB32);
  if (image.isNull()) {
    if (status) *status = DibStatus::Malformed;
    if (why) *why = QStringLiteral("out of memory");
    return {};
  }
  const QByteArrayView table = dib.sliced(layout.headerSize, layout.colorTableBytes);
  const QByteArrayView pixels = dib.sliced(layout.InfoBlockBytes(), layout.pixelBytes);
  for (int r = 0; r < layout.height; ++r) {
    const QByteArrayView row =
        pixels.sliced(static_cast<qsizetype>(r) * layout.stride, layout.stride);
    const int y = layout.topDown ? r : layout.height - 1 - r;
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < layout.width; ++x)
      line[x] = PixelAt(row, x, layout, table);
  }
  return image;
}

} // namespace kavelo::richtext
