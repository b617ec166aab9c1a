// Packed DIBs of every depth the viewer draws, against the pixels they must give.

#include "richtext/DibImage.h"

#include "RtfTestData.h"

#include <gmock/gmock.h>

namespace kavelo::richtext::test {
namespace {

QByteArray Palette(std::initializer_list<QRgb> colours) {
  QByteArray out;
  for (const QRgb c : colours) {
    out.append(static_cast<char>(qBlue(c)));
    out.append(static_cast<char>(qGreen(c)));
    out.append(static_cast<char>(qRed(c)));
    out.append('\0');
  }
  return out;
}

TEST(DibImage, TwentyFourBitsBottomRowFirst) {
  const QByteArray rows("\x00\x00\xFF"
                        "\x00\xFF\x00"
                        "\xFF\x00\x00"
                        "\x10\x20\x30",
                        12);
  DibStatus status = DibStatus::Malformed;
  const QImage image = DibToImage(Dib24(2, 2, rows), &status);
  ASSERT_EQ(status, DibStatus::Ok);
  EXPECT_EQ(image.pixel(0, 1), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(1, 1), qRgb(0, 255, 0));
  EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 255));
  EXPECT_EQ(image.pixel(1, 0), qRgb(0x30, 0x20, 0x10));
}

TEST(DibImage, NegativeHeightIsTopDown) {
  QByteArray dib = DibHeader(1, -2, 24);
  dib.append(QByteArray("\x00\x00\xFF\x00"
                        "\xFF\x00\x00\x00",
                        8));
  const QImage image = DibToImage(dib);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(0, 1), qRgb(0, 0, 255));
}

TEST(DibImage, OneBitWithPalette) {
  QByteArray dib = DibHeader(10, 1, 1) + Palette({qRgb(0, 0, 0), qRgb(255, 255, 255)});
  dib.append(QByteArray("\xA0\x40\x00\x00", 4)); // 1010 0000 01..
  const QImage image = DibToImage(dib);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
  EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(2, 0), qRgb(255, 255, 255));
  EXPECT_EQ(image.pixel(9, 0), qRgb(255, 255, 255));
}

TEST(DibImage, FourAndEightBitsWithShortPalette) {
  QByteArray four = DibHeader(2, 1, 4, 0, 2) + Palette({qRgb(1, 2, 3), qRgb(200, 100, 50)});
  four.append(QByteArray("\x01\x00\x00\x00", 4));
  QImage image = DibToImage(four);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.pixel(0, 0), qRgb(1, 2, 3));
  EXPECT_EQ(image.pixel(1, 0), qRgb(200, 100, 50));

  // An index beyond a short colour table draws black rather than reading past the table.
  QByteArray eight = DibHeader(1, 1, 8, 0, 1) + Palette({qRgb(9, 9, 9)});
  eight.append(QByteArray("\xFF\x00\x00\x00", 4));
  image = DibToImage(eight);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
}

TEST(DibImage, SixteenAndThirtyTwoBits) {
  QByteArray sixteen = DibHeader(1, 1, 16);
  sixteen.append(QByteArray("\x00\x7C\x00\x00", 4)); // 0x7C00: full red in 5-5-5
  EXPECT_EQ(DibToImage(sixteen).pixel(0, 0), qRgb(255, 0, 0));
  QByteArray thirtyTwo = DibHeader(1, 1, 32);
  thirtyTwo.append(QByteArray("\x30\x20\x10\x00", 4));
  EXPECT_EQ(DibToImage(thirtyTwo).pixel(0, 0), qRgb(0x10, 0x20, 0x30));
}

TEST(DibImage, LayoutOfTheGuidancePictureSize) {
  DibLayout layout;
  QByteArray dib = DibHeader(536, 295, 24);
  dib.append(QByteArray(295 * 1608, '\0'));
  ASSERT_EQ(ReadDibLayout(dib, layout), DibStatus::Ok);
  EXPECT_EQ(layout.stride, 1608);
  EXPECT_EQ(layout.pixelBytes, 474360);
  EXPECT_EQ(layout.InfoBlockBytes(), 40);
}

TEST(DibImage, TooLargeForTheLimitsEvenWithTheData) {
  DibLayout layout;
  // 8192 x 4096 one-bit pixels fit in 4 MB of data but exceed the pixel limit.
  QByteArray dib = DibHeader(8192, 4096, 1) + Palette({0, 0});
  dib.append(QByteArray(8192 / 8 * 4096, '\0'));
  EXPECT_EQ(ReadDibLayout(dib, layout), DibStatus::Malformed);
}

TEST(DibImage, CompressedIsUnsupportedNotMalformed) {
  DibLayout layout;
  EXPECT_EQ(ReadDibLayout(DibHeader(4, 4, 8, 1), layout), DibStatus::Unsupported);
}

} // namespace
} // namespace kavelo::richtext::test
