#pragma once
// The content of one \pict group: its format, its sizes and its data, given as hexadecimal
// digits or as \bin bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>

namespace kavelo::richtext {

enum class RtfPictureFormat { Unknown, Dib, Png, Jpeg, Other };

class RtfPicture {
public:
  void SetFormat(RtfPictureFormat format) { fFormat = format; }
  // \picw, \pich, \picwgoal, \pichgoal, \picscalex, \picscaley; false for other words.
  bool SetProperty(QByteArrayView word, int32_t value);
  // Hexadecimal digits, white space between them allowed; false on any other letter.
  bool AddHexText(QByteArrayView text);
  void AddBinary(QByteArrayView data);

  enum class Result { Picture, Skipped, Malformed };
  // Decodes the collected data. Skipped: a format the viewer does not draw (metafiles and the
  // like), which the document simply goes without. Malformed: data that contradicts itself.
  Result Finish(QImage& image, QSize& displaySize, QString* why);

private:
  QSize DisplaySize(QSize pixels) const;

  RtfPictureFormat fFormat = RtfPictureFormat::Unknown;
  QByteArray fData;
  int fPendingNibble = -1;
  int32_t fGoalWidthTwips = 0;
  int32_t fGoalHeightTwips = 0;
  int32_t fScaleX = 100;
  int32_t fScaleY = 100;
};

} // namespace kavelo::richtext
