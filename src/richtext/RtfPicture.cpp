#include "richtext/RtfPicture.h"

#include "richtext/DibImage.h"
#include "richtext/RichTextLimits.h"

#include <QBuffer>
#include <QImageReader>
#include <algorithm>

namespace kavelo::richtext {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\0';
}

RtfPicture::Result Malformed(QString* why, const QString& text) {
  if (why) *why = text;
  return RtfPicture::Result::Malformed;
}

// Compressed formats go through Qt's readers, but only after their header's size has been
// checked against our own limit.
QImage ReadEncoded(const QByteArray& data, const char* format, QString* why) {
  QByteArray copy = data;
  QBuffer buffer(&copy);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  const QSize size = reader.size();
  if (!size.isValid() || size.width() > kMaxPictureSide || size.height() > kMaxPictureSide ||
      static_cast<int64_t>(size.width()) * size.height() > kMaxPicturePixels) {
    if (why) *why = QStringLiteral("picture size missing or too large");
    return {};
  }
  QImage image = reader.read();
  if (image.isNull() && why) *why = reader.errorString();
  return image;
}

} // namespace

bool RtfPicture::SetProperty(QByteArrayView word, int32_t value) {
  // \picw and \pich repeat what the picture's own header says; the header is what counts.
  if (word == "picw" || word == "pich") return true;
  if (word == "picwgoal")
    fGoalWidthTwips = value;
  else if (word == "pichgoal")
    fGoalHeightTwips = value;
  else if (word == "picscalex")
    fScaleX = value;
  else if (word == "picscaley")
    fScaleY = value;
  else
    return false;
  return true;
}

bool RtfPicture::AddHexText(QByteArrayView text) {
  for (const char c : text) {
    if (IsBlank(c)) continue;
    const int v = HexValue(c);
    if (v < 0) return false;
    if (fPendingNibble < 0) {
      fPendingNibble = v;
    } else {
      fData.append(static_cast<char>(fPendingNibble * 16 + v));
      fPendingNibble = -1;
    }
  }
  return true;
}

void RtfPicture::AddBinary(QByteArrayView data) {
  if (fFormat == RtfPictureFormat::Other || fFormat == RtfPictureFormat::Unknown) return;
  fData.append(data);
}

RtfPicture::Result RtfPicture::Finish(QImage& image, QSize& displaySize, QString* why) {
  if (fPendingNibble >= 0) return Malformed(why, QStringLiteral("odd number of hex digits"));
  switch (fFormat) {
  case RtfPictureFormat::Dib: {
    DibStatus status = DibStatus::Ok;
    QString reason;
    image = DibToImage(fData, &status, &reason);
    if (status == DibStatus::Unsupported) return Result::Skipped;
    if (status != DibStatus::Ok) return Malformed(why, reason);
    break;
  }
  case RtfPictureFormat::Png:
  case RtfPictureFormat::Jpeg: {
    QString reason;
    image = ReadEncoded(fData, fFormat == RtfPictureFormat::Png ? "png" : "jpeg", &reason);
    if (image.isNull()) return Malformed(why, reason);
    break;
  }
  case RtfPictureFormat::Unknown:
  case RtfPictureFormat::Other:
    return Result::Skipped;
  }
  displaySize = DisplaySize(image.size());
  return Result::Picture;
}

QSize RtfPicture::DisplaySize(QSize pixels) const {
  const auto side = [](int32_t goalTwips, int natural, int32_t scale) {
    double px = goalTwips > 0 ? goalTwips / kTwipsPerPixel : natural;
    if (scale > 0) px = px * std::min(scale, 1000) / 100.0;
    return std::clamp(static_cast<int>(px + 0.5), 1, kMaxPictureDisplaySide);
  };
  return {side(fGoalWidthTwips, pixels.width(), fScaleX),
          side(fGoalHeightTwips, pixels.height(), fScaleY)};
}

} // namespace kavelo::richtext
