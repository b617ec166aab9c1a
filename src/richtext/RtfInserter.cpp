#include "richtext/RtfInserter.h"

#include "richtext/RichTextLimits.h"

#include <QAtomicInt>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <algorithm>

namespace kavelo::richtext {

namespace {

qreal Pixels(int twips) {
  return twips / kTwipsPerPixel;
}

QTextCharFormat CharFormat(const RtfCharStyle& s) {
  QTextCharFormat f;
  f.setFontWeight(s.bold ? QFont::Bold : QFont::Normal);
  f.setFontItalic(s.italic);
  f.setFontUnderline(s.underline);
  f.setFontStrikeOut(s.strike);
  if (s.fontSizeHalfPoints > 0) f.setFontPointSize(s.fontSizeHalfPoints / 2.0);
  if (s.position == RtfVerticalPosition::Superscript)
    f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
  else if (s.position == RtfVerticalPosition::Subscript)
    f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
  return f;
}

QTextBlockFormat BlockFormat(const RtfParagraphStyle& s) {
  QTextBlockFormat f;
  switch (s.alignment) {
  case RtfAlignment::Left:
    f.setAlignment(Qt::AlignLeft);
    break;
  case RtfAlignment::Center:
    f.setAlignment(Qt::AlignHCenter);
    break;
  case RtfAlignment::Right:
    f.setAlignment(Qt::AlignRight);
    break;
  case RtfAlignment::Justify:
    f.setAlignment(Qt::AlignJustify);
    break;
  }
  const int left = std::max(s.leftIndentTwips, 0);
  // The first line may hang out to the left margin, not beyond it.
  const int first = std::max(s.firstLineIndentTwips, -left);
  f.setLeftMargin(Pixels(left));
  f.setRightMargin(Pixels(std::max(s.rightIndentTwips, 0)));
  f.setTextIndent(Pixels(first));
  f.setTopMargin(Pixels(s.spaceBeforeTwips));
  f.setBottomMargin(Pixels(s.spaceAfterTwips));

  // A hanging first line tabs to the paragraph's indent, as word processors do; that is how
  // list numbers and bullets line up with the text after them. RTF measures tab stops from
  // the margin, Qt from where the line starts, which for the first line is left + first.
  std::vector<int> stops = s.tabStopsTwips;
  if (first < 0) stops.push_back(left);
  std::sort(stops.begin(), stops.end());
  stops.erase(std::unique(stops.begin(), stops.end()), stops.end());
  QList<QTextOption::Tab> tabs;
  for (const int twips : stops)
    if (twips > left + first)
      tabs.append(QTextOption::Tab(Pixels(twips - left - first), QTextOption::LeftTab));
  if (!tabs.isEmpty()) f.setTabPositions(tabs);
  return f;
}

QString NewPictureName() {
  static QAtomicInt counter;
  return QStringLiteral("rtf-picture-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

void InsertInlines(QTextCursor& cursor, const RtfParagraph& paragraph) {
  for (const RtfInline& item : paragraph.inlines) {
    if (item.kind == RtfInline::Kind::Text) {
      cursor.insertText(item.text, CharFormat(item.style));
      continue;
    }
    const QString name = NewPictureName();
    cursor.document()->addResource(QTextDocument::ImageResource, QUrl(name), item.picture);
    QTextImageFormat image;
    image.setName(name);
    image.setWidth(item.displaySize.width());
    image.setHeight(item.displaySize.height());
    cursor.insertImage(image);
  }
}

} // namespace

void InsertRtfContent(QTextCursor& cursor, const RtfContent& content) {
  cursor.beginEditBlock();
  if (cursor.hasSelection()) cursor.removeSelectedText();
  // The text after the insertion point stays in a paragraph of its original format.
  const QTextBlockFormat landing = cursor.blockFormat();
  for (const RtfParagraph& paragraph : content.paragraphs) {
    InsertInlines(cursor, paragraph);
    if (paragraph.terminated) {
      cursor.setBlockFormat(BlockFormat(paragraph.style));
      cursor.insertBlock(landing);
    } else if (!(paragraph.style == RtfParagraphStyle{})) {
      cursor.setBlockFormat(BlockFormat(paragraph.style));
    }
  }
  cursor.endEditBlock();
}

} // namespace kavelo::richtext
