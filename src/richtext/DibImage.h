#pragma once
// Device-independent bitmaps as Windows packs them: a BITMAPINFOHEADER (or a later, longer
// header), the colour table, then the pixel rows padded to 4 bytes, bottom row first unless
// the height is negative.

#include <QByteArrayView>
#include <QImage>
#include <QString>
#include <cstdint>

namespace kavelo::richtext {

inline constexpr int kBitmapInfoHeaderSize = 40;
inline constexpr uint32_t kBiRgb = 0;

struct DibLayout {
  int32_t width = 0;
  int32_t height = 0; // always positive; see topDown
  bool topDown = false;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  int colorCount = 0; // entries of the colour table
  qsizetype headerSize = 0;
  qsizetype colorTableBytes = 0;
  qsizetype stride = 0;     // bytes per pixel row, padding included
  qsizetype pixelBytes = 0; // stride * height
  qsizetype InfoBlockBytes() const { return headerSize + colorTableBytes; }
};

enum class DibStatus {
  Ok,
  Unsupported, // well formed, but a compression or depth the viewer does not draw
  Malformed,   // the header contradicts itself or the data that is actually there
};

// Reads and checks the header of a packed DIB. With Ok, the header, the colour table and the
// pixel rows all lie inside dib, and the picture is within the viewer's size limits.
DibStatus ReadDibLayout(QByteArrayView dib, DibLayout& layout, QString* why = nullptr);

// The picture of a packed DIB; a null image unless the status is Ok.
QImage DibToImage(QByteArrayView dib, DibStatus* status = nullptr, QString* why = nullptr);

} // namespace kavelo::richtext
