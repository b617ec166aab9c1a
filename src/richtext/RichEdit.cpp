#include "richtext/RichEdit.h"

#include "richtext/Cp1252.h"
#include "richtext/RichTextLimits.h"
#include "richtext/RtfInserter.h"
#include "richtext/RtfReader.h"

#include <QPalette>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

namespace kavelo::richtext {

TRichEdit::TRichEdit(QWidget* parent) : QTextEdit(parent) {
  // Tahoma at 11 pixels, in the window-text colour, set on the control itself so that the
  // surrounding window's font does not leak into documents without fonts of their own.
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  setFont(font);
  document()->setDefaultFont(font);
  QPalette colours = palette();
  colours.setColor(QPalette::Text, colours.color(QPalette::WindowText));
  setPalette(colours);

  setReadOnly(true);
  setUndoRedoEnabled(false); // a read-only view has nothing to undo; the picture is large
  setLineWrapMode(QTextEdit::WidgetWidth);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

bool TRichEdit::ReadStream(QIODevice& stream, QByteArray& bytes) {
  // Pulled in pieces, like a rich edit control's stream callback, and never more than the
  // limit, whatever size the device claims.
  if (!stream.isOpen() || !stream.isReadable()) return false;
  bytes.clear();
  for (;;) {
    const QByteArray piece = stream.read(kStreamPieceBytes);
    if (piece.isEmpty()) break;
    if (bytes.size() + piece.size() > kMaxStreamBytes) return false;
    bytes.append(piece);
  }
  return stream.atEnd() || stream.isSequential();
}

bool TRichEdit::InsertRtf(QByteArrayView rtf) {
  RtfContent content;
  QString why;
  if (!ReadRtf(rtf, content, &why)) {
    fLastError = why;
    return false;
  }
  QTextCursor cursor = textCursor();
  InsertRtfContent(cursor, content);
  setTextCursor(cursor);
  return true;
}

bool TRichEdit::InsertPlainText(QByteArrayView text) {
  if (text.contains('\0')) return false;
  QString decoded;
  decoded.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<uint8_t>(text[i]);
    if (byte == '\r') {
      decoded.append(QChar(u'\n'));
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      decoded.append(Cp1252ToUnicode(byte));
    }
  }
  QTextCursor cursor = textCursor();
  cursor.beginEditBlock();
  cursor.insertText(decoded, QTextCharFormat());
  cursor.endEditBlock();
  setTextCursor(cursor);
  return true;
}

bool TRichEdit::StreamInRtf(QIODevice& stream) {
  QByteArray bytes;
  if (!ReadStream(stream, bytes)) {
    fLastError = QString::fromLatin1(kStreamLoadError);
    return false;
  }
  return InsertRtf(bytes);
}

bool TRichEdit::StreamInPlainText(QIODevice& stream) {
  QByteArray bytes;
  return ReadStream(stream, bytes) && InsertPlainText(bytes);
}

bool TRichEdit::LoadStream(QIODevice& stream) {
  // One read serves both attempts, so the plain-text load starts where the RTF load did.
  QByteArray bytes;
  if (ReadStream(stream, bytes) && (InsertRtf(bytes) || InsertPlainText(bytes))) return true;
  fLastError = QString::fromLatin1(kStreamLoadError);
  return false;
}

void TRichEdit::SetSelection(int start, int end) {
  const int last = document()->characterCount() - 1;
  QTextCursor cursor(document());
  cursor.setPosition(std::clamp(start, 0, last));
  cursor.setPosition(std::clamp(end, 0, last), QTextCursor::KeepAnchor);
  setTextCursor(cursor);
  ensureCursorVisible();
  // The document margin above the first line belongs to it: a selection in the first line
  // shows the view from its very top.
  QTextCursor first(document());
  first.setPosition(std::min(cursor.anchor(), cursor.position()));
  const QTextLayout* layout = first.block().layout();
  if (first.block() == document()->firstBlock() && layout &&
      layout->lineForTextPosition(first.positionInBlock()).lineNumber() <= 0)
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
}

} // namespace kavelo::richtext
