#include "ui/guidance/Bitmap.h"

#include "richtext/DibImage.h"

namespace kavelo::ui {

namespace {

constexpr qsizetype kFileHeaderSize = 14;

void PutLe32(QByteArray& out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void PutLe16(QByteArray& out, uint16_t v) {
  out.append(static_cast<char>(v & 0xFF));
  out.append(static_cast<char>(v >> 8));
}

uint32_t Le32(QByteArrayView data, qsizetype at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i)
    v = (v << 8) | static_cast<uint8_t>(data[at + i]);
  return v;
}

} // namespace

TBitmap TBitmap::FromBmpFile(QByteArrayView file) {
  if (file.size() < kFileHeaderSize || file[0] != 'B' || file[1] != 'M') return {};
  const QByteArrayView dib = file.sliced(kFileHeaderSize);
  richtext::DibLayout layout;
  if (richtext::ReadDibLayout(dib, layout) != richtext::DibStatus::Ok) return {};
  // The pixel rows start where the file header says, which may leave a gap after the table.
  const uint32_t offBits = Le32(file, 10);
  const qsizetype pixelsAt = static_cast<qsizetype>(offBits) - kFileHeaderSize;
  if (offBits < kFileHeaderSize || pixelsAt < layout.InfoBlockBytes() ||
      pixelsAt > dib.size() - layout.pixelBytes)
    return {};
  TBitmap bitmap;
  bitmap.fInfo = dib.first(layout.InfoBlockBytes()).toByteArray();
  bitmap.fPixels = dib.sliced(pixelsAt, layout.pixelBytes).toByteArray();
  bitmap.fWidth = layout.width;
  bitmap.fHeight = layout.height;
  bitmap.fBitCount = layout.bitCount;
  return bitmap;
}

TBitmap TBitmap::FromImage(const QImage& image) {
  if (image.isNull()) return {};
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  const int width = rgb.width();
  const int height = rgb.height();
  const qsizetype rowBytes = static_cast<qsizetype>(width) * 3;
  const qsizetype stride = (rowBytes + 3) / 4 * 4;

  TBitmap bitmap;
  QByteArray& info = bitmap.fInfo;
  PutLe32(info, richtext::kBitmapInfoHeaderSize);
  PutLe32(info, static_cast<uint32_t>(width));
  PutLe32(info, static_cast<uint32_t>(height));
  PutLe16(info, 1);  // planes
  PutLe16(info, 24); // bits per pixel
  PutLe32(info, richtext::kBiRgb);
  PutLe32(info, static_cast<uint32_t>(stride * height));
  PutLe32(info, 0); // pixels per metre, x and y: not known
  PutLe32(info, 0);
  PutLe32(info, 0); // colours used: no table
  PutLe32(info, 0);

  bitmap.fPixels.reserve(stride * height);
  for (int y = height - 1; y >= 0; --y) {
    const uchar* line = rgb.constScanLine(y);
    for (int x = 0; x < width; ++x) {
      bitmap.fPixels.append(static_cast<char>(line[3 * x + 2]));
      bitmap.fPixels.append(static_cast<char>(line[3 * x + 1]));
      bitmap.fPixels.append(static_cast<char>(line[3 * x]));
    }
    bitmap.fPixels.append(QByteArray(stride - rowBytes, '\0'));
  }
  bitmap.fWidth = width;
  bitmap.fHeight = height;
  bitmap.fBitCount = 24;
  return bitmap;
}

} // namespace kavelo::ui
