// The picture as RTF text: exact digits for a 1 x 1 bitmap, the length for the guidance
// picture, and the reader getting the same pixels back.

#include "richtext/RtfReader.h"
#include "ui/guidance/Bitmap.h"
#include "ui/guidance/Guidance.h"
#include "ui/guidance/InfoDialog.h"

#include <QFile>
#include <gmock/gmock.h>

namespace kavelo::ui {
namespace {

const QString kOpening = QStringLiteral("{\\rtf1 {\\pict\\dibitmap ");
const QString kClosing = QStringLiteral(" }}");

QByteArray ReadResource(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

TEST(BitmapToRtf, OnePixelOf24BitsGives88Digits) {
  QImage image(1, 1, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(0xFF, 0x0A, 0x12));
  const TBitmap bitmap = TBitmap::FromImage(image);
  ASSERT_TRUE(bitmap.IsValid());
  EXPECT_EQ(bitmap.InfoBlock().size(), 40);
  EXPECT_EQ(bitmap.PixelData().size(), 4);

  const QString text = TInfoDialog::BitmapToRtf(bitmap);
  ASSERT_TRUE(text.startsWith(kOpening));
  ASSERT_TRUE(text.endsWith(kClosing));
  const QString digits = text.mid(kOpening.size(), text.size() - kOpening.size() - kClosing.size());
  EXPECT_EQ(digits.size(), 88);
  EXPECT_EQ(digits,
            QStringLiteral("28000000"
                           "01000000"
                           "01000000"
                           "0100"
                           "1800"
                           "00000000"
                           "04000000"
                           "00000000"
                           "00000000"
                           "00000000"
                           "00000000"
                           "120AFF00")); // blue, green, red, then the row's padding byte
}

TEST(BitmapToRtf, DigitsAreUpperCasePairsWithoutSeparators) {
  QImage image(2, 1, QImage::Format_RGB32);
  image.setPixel(0, 0, qRgb(0xAB, 0xCD, 0xEF));
  image.setPixel(1, 0, qRgb(0x0A, 0xFF, 0x00));
  const QString text = TInfoDialog::BitmapToRtf(TBitmap::FromImage(image));
  EXPECT_TRUE(text.endsWith(QStringLiteral("EFCDAB"
                                           "00FF0A"
                                           "0000 }}")));
  const QString digits = text.mid(kOpening.size(), text.size() - kOpening.size() - kClosing.size());
  for (const QChar c : digits)
    EXPECT_TRUE(c.isDigit() || (c >= u'A' && c <= u'F')) << static_cast<int>(c.unicode());
}

TEST(BitmapToRtf, TheGuidancePictureGives948826Characters) {
  const TBitmap bitmap = TBitmap::FromBmpFile(ReadResource(GuidancePicturePath()));
  ASSERT_TRUE(bitmap.IsValid());
  EXPECT_EQ(bitmap.Width(), 536);
  EXPECT_EQ(bitmap.Height(), 295);
  EXPECT_EQ(bitmap.BitCount(), 24);
  EXPECT_EQ(bitmap.InfoBlock().size(), 40);
  EXPECT_EQ(bitmap.PixelData().size(), 474360);

  const QString text = TInfoDialog::BitmapToRtf(bitmap);
  EXPECT_EQ(text.size(), 948826);
  EXPECT_TRUE(text.startsWith(kOpening + QStringLiteral("28000000"
                                                        "18020000"
                                                        "27010000"
                                                        "0100"
                                                        "1800")));
  EXPECT_TRUE(text.endsWith(kClosing));
}

TEST(BitmapToRtf, TheReaderGetsThePicturesPixelsBack) {
  const QByteArray file = ReadResource(GuidancePicturePath());
  const TBitmap bitmap = TBitmap::FromBmpFile(file);
  richtext::RtfContent content;
  ASSERT_TRUE(richtext::ReadRtf(TInfoDialog::BitmapToRtf(bitmap).toLatin1(), content));
  ASSERT_EQ(content.paragraphs.size(), 1u);
  ASSERT_EQ(content.paragraphs[0].inlines.size(), 1u);
  const QImage shown = content.paragraphs[0].inlines[0].picture;
  QImage original;
  ASSERT_TRUE(original.loadFromData(file, "BMP"));
  EXPECT_EQ(shown.size(), QSize(536, 295));
  EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32),
            original.convertToFormat(QImage::Format_RGB32));
}

TEST(TBitmap, RefusesFilesThatAreNotUsableBitmaps) {
  EXPECT_FALSE(TBitmap::FromBmpFile("").IsValid());
  EXPECT_FALSE(TBitmap::FromBmpFile("XX0123456789012345").IsValid());
  QByteArray file = ReadResource(GuidancePicturePath());
  EXPECT_FALSE(TBitmap::FromBmpFile(QByteArrayView(file).first(1000)).IsValid());
  file[10] = '\x7F'; // pixel offset beyond where the rows would still fit
  file[11] = '\x7F';
  EXPECT_FALSE(TBitmap::FromBmpFile(file).IsValid());
}

} // namespace
} // namespace kavelo::ui
