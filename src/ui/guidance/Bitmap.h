#pragma once
// TBitmap: a device-independent bitmap held in its own colour format, the way Windows hands
// it out with GetDIBSizes and GetDIB: the information block (BITMAPINFOHEADER and colour
// table) and the pixel rows, padded to 4 bytes, bottom row first.

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>

namespace kavelo::ui {

class TBitmap {
public:
  TBitmap() = default;
  // From the bytes of a .bmp file (BITMAPFILEHEADER first). Invalid unless the file is an
  // uncompressed bitmap whose parts all lie inside it.
  static TBitmap FromBmpFile(QByteArrayView file);
  // A 24-bit bitmap of the image's pixels.
  static TBitmap FromImage(const QImage& image);

  bool IsValid() const { return !fInfo.isEmpty(); }
  int Width() const { return fWidth; }
  int Height() const { return fHeight; }
  int BitCount() const { return fBitCount; }
  const QByteArray& InfoBlock() const { return fInfo; }
  const QByteArray& PixelData() const { return fPixels; }

private:
  QByteArray fInfo;
  QByteArray fPixels;
  int fWidth = 0;
  int fHeight = 0;
  int fBitCount = 0;
};

} // namespace kavelo::ui
