#include "richtext/RtfContentBuilder.h"

namespace kavelo::richtext {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Paragraph separators would split blocks behind the reader's back, U+FFFC is how the
// document marks pictures, and U+FDD0..U+FDEF mark frame boundaries inside QTextDocument.
QChar Sanitized(QChar c) {
  const char16_t u = c.unicode();
  if (u == u'\t' || u == 0x2028) return c;
  if (u < 0x20 || (u >= 0x7F && u < 0xA0)) return QChar(0);
  if (u == 0x2029) return QChar(0x2028);
  if (u == 0xFFFC || (u >= 0xFDD0 && u <= 0xFDEF)) return QChar(kReplacement);
  return c;
}

} // namespace

void RtfContentBuilder::Append(QChar c, const RtfCharStyle& style) {
  auto& inlines = fCurrent.inlines;
  if (inlines.empty() || inlines.back().kind != RtfInline::Kind::Text ||
      !(inlines.back().style == style)) {
    RtfInline run;
    run.style = style;
    inlines.push_back(std::move(run));
  }
  inlines.back().text.append(c);
}

void RtfContentBuilder::FlushSurrogate() {
  if (fHighSurrogate == 0) return;
  fHighSurrogate = 0;
  Append(QChar(kReplacement), fSurrogateStyle);
}

void RtfContentBuilder::AddText(QChar c, const RtfCharStyle& style) {
  FlushSurrogate();
  const QChar clean = Sanitized(c);
  if (clean.unicode() != 0) Append(clean, style);
}

void RtfContentBuilder::AddUnicodeUnit(char16_t unit, const RtfCharStyle& style) {
  if (QChar::isHighSurrogate(unit)) {
    FlushSurrogate();
    fHighSurrogate = unit;
    fSurrogateStyle = style;
    return;
  }
  if (QChar::isLowSurrogate(unit)) {
    if (fHighSurrogate == 0) {
      Append(QChar(kReplacement), style);
      return;
    }
    Append(QChar(fHighSurrogate), fSurrogateStyle);
    Append(QChar(unit), fSurrogateStyle);
    fHighSurrogate = 0;
    return;
  }
  AddText(QChar(unit), style);
}

void RtfContentBuilder::AddPicture(const QImage& picture, QSize displaySize) {
  FlushSurrogate();
  RtfInline item;
  item.kind = RtfInline::Kind::Picture;
  item.picture = picture;
  item.displaySize = displaySize;
  fCurrent.inlines.push_back(std::move(item));
}

void RtfContentBuilder::EndParagraph(const RtfParagraphStyle& style) {
  FlushSurrogate();
  fCurrent.style = style;
  fCurrent.terminated = true;
  fContent.paragraphs.push_back(std::move(fCurrent));
  fCurrent = RtfParagraph{};
}

RtfContent RtfContentBuilder::Finish(const RtfParagraphStyle& lastStyle) {
  FlushSurrogate();
  fCurrent.style = lastStyle;
  fCurrent.terminated = false;
  fContent.paragraphs.push_back(std::move(fCurrent));
  fCurrent = RtfParagraph{};
  return std::move(fContent);
}

} // namespace kavelo::richtext
