#pragma once
// Collects the reader's output into paragraphs, merging neighbouring text of one style and
// keeping characters out of the document that a QTextDocument treats as structure.

#include "richtext/RtfContent.h"

namespace kavelo::richtext {

class RtfContentBuilder {
public:
  void AddText(QChar c, const RtfCharStyle& style);
  // One UTF-16 unit of a \u letter; surrogate halves are paired, lone halves become U+FFFD.
  void AddUnicodeUnit(char16_t unit, const RtfCharStyle& style);
  void AddPicture(const QImage& picture, QSize displaySize);
  void EndParagraph(const RtfParagraphStyle& style);
  RtfContent Finish(const RtfParagraphStyle& lastStyle);

private:
  void FlushSurrogate();
  void Append(QChar c, const RtfCharStyle& style);

  RtfContent fContent;
  RtfParagraph fCurrent;
  char16_t fHighSurrogate = 0;
  RtfCharStyle fSurrogateStyle;
};

} // namespace kavelo::richtext
