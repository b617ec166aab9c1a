#include "DocumentDescription.h"

#include "richtext/RtfInserter.h"
#include "richtext/RtfReader.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextFragment>
#include <QTextImageFormat>
#include <cmath>

namespace kavelo::richtext::test {

namespace {

QString Number(qreal v) {
  return QString::number(std::lround(v));
}

QString BlockPrefix(const QTextBlockFormat& f) {
  QStringList parts;
  const Qt::Alignment a = f.alignment() & Qt::AlignHorizontal_Mask;
  if (a == Qt::AlignHCenter)
    parts << QStringLiteral("c");
  else if (a == Qt::AlignRight)
    parts << QStringLiteral("r");
  else if (a == Qt::AlignJustify)
    parts << QStringLiteral("j");
  if (f.leftMargin() != 0) parts << QStringLiteral("li=") + Number(f.leftMargin());
  if (f.textIndent() != 0) parts << QStringLiteral("fi=") + Number(f.textIndent());
  if (f.rightMargin() != 0) parts << QStringLiteral("ri=") + Number(f.rightMargin());
  if (f.topMargin() != 0) parts << QStringLiteral("sb=") + Number(f.topMargin());
  if (f.bottomMargin() != 0) parts << QStringLiteral("sa=") + Number(f.bottomMargin());
  if (parts.isEmpty()) return {};
  return QStringLiteral("{") + parts.join(u' ') + QStringLiteral("} ");
}

QString Visible(QString text) {
  text.replace(u'\t', QStringLiteral("<tab>"));
  text.replace(QChar(0x2028), QStringLiteral("<br>"));
  return text;
}

QString Fragment(const QTextFragment& fragment) {
  const QTextCharFormat f = fragment.charFormat();
  if (f.isImageFormat()) {
    const QTextImageFormat image = f.toImageFormat();
    return QStringLiteral("[img %1x%2]").arg(Number(image.width()), Number(image.height()));
  }
  QStringList tags;
  if (f.fontWeight() >= QFont::Bold) tags << QStringLiteral("b");
  if (f.fontItalic()) tags << QStringLiteral("i");
  if (f.fontUnderline()) tags << QStringLiteral("u");
  if (f.fontStrikeOut()) tags << QStringLiteral("s");
  if (f.hasProperty(QTextFormat::FontPointSize))
    tags << QStringLiteral("fs") + Number(f.fontPointSize());
  if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript) tags << QStringLiteral("sup");
  if (f.verticalAlignment() == QTextCharFormat::AlignSubScript) tags << QStringLiteral("sub");
  const QString text = Visible(fragment.text());
  if (tags.isEmpty()) return text;
  return QStringLiteral("[") + tags.join(u',') + QStringLiteral(":") + text + QStringLiteral("]");
}

} // namespace

std::string DescribeDocument(const QTextDocument& document) {
  QStringList blocks;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    QString line = BlockPrefix(block.blockFormat());
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid()) continue;
      // An image fragment holds one object character per picture.
      if (fragment.charFormat().isImageFormat())
        for (int i = 0; i < fragment.length(); ++i)
          line += Fragment(fragment);
      else
        line += Fragment(fragment);
    }
    blocks << line;
  }
  return blocks.join(QStringLiteral(" | ")).toStdString();
}

std::string DescribeRtf(const QByteArray& rtf) {
  RtfContent content;
  QString why;
  if (!ReadRtf(rtf, content, &why)) return "ERROR: " + why.toStdString();
  QTextDocument document;
  QTextCursor cursor(&document);
  InsertRtfContent(cursor, content);
  return DescribeDocument(document);
}

} // namespace kavelo::richtext::test
