#pragma once
// What the reader makes of a document before anything touches a QTextDocument: paragraphs of
// styled text runs and pictures. Parsing into this first lets a failed read leave the
// viewer untouched.

#include <QImage>
#include <QSize>
#include <QString>
#include <vector>

namespace kavelo::richtext {

enum class RtfAlignment { Left, Center, Right, Justify };
enum class RtfVerticalPosition { Normal, Superscript, Subscript };

struct RtfCharStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  RtfVerticalPosition position = RtfVerticalPosition::Normal;
  int fontSizeHalfPoints = 0; // 0: the viewer's default font size
  bool operator==(const RtfCharStyle&) const = default;
};

struct RtfParagraphStyle {
  RtfAlignment alignment = RtfAlignment::Left;
  int leftIndentTwips = 0;
  int rightIndentTwips = 0;
  int firstLineIndentTwips = 0;
  int spaceBeforeTwips = 0;
  int spaceAfterTwips = 0;
  std::vector<int> tabStopsTwips;
  bool operator==(const RtfParagraphStyle&) const = default;
};

struct RtfInline {
  enum class Kind { Text, Picture };
  Kind kind = Kind::Text;
  QString text;
  RtfCharStyle style;
  QImage picture;
  QSize displaySize; // pixels
};

struct RtfParagraph {
  RtfParagraphStyle style;
  std::vector<RtfInline> inlines;
  bool terminated = false; // ended by \par; the last paragraph of a fragment usually is not
};

struct RtfContent {
  std::vector<RtfParagraph> paragraphs;
};

} // namespace kavelo::richtext
