#pragma once
// TRichEdit: a read-only text view that loads RTF streams, the control the guidance dialog
// shows its instructions in. Loads insert at the current selection, as a rich edit control
// does with a stream into its selection.

#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QTextEdit>

namespace kavelo::richtext {

// The viewer's own error when a stream can be read neither as RTF nor as plain text; it is
// not translated.
inline constexpr char kStreamLoadError[] = "Stream konnte nicht geladen werden";

class TRichEdit : public QTextEdit {
public:
  explicit TRichEdit(QWidget* parent = nullptr);

  // Reads the stream from its current position to the end and inserts it as RTF at the
  // selection. False, with the document unchanged, when the stream cannot be read or is not
  // RTF that the reader accepts.
  bool StreamInRtf(QIODevice& stream);
  // The same for plain text in Windows-1252; false when the stream cannot be read or holds
  // binary data (NUL bytes).
  bool StreamInPlainText(QIODevice& stream);
  // RTF, and when that fails the same bytes as plain text. False when neither works; then
  // LastError() is kStreamLoadError.
  bool LoadStream(QIODevice& stream);

  bool InsertRtf(QByteArrayView rtf);
  bool InsertPlainText(QByteArrayView text);

  // Selects [start, end) in document positions, clamped to the document, and scrolls the
  // selection into view.
  void SetSelection(int start, int end);

  // Why the last RTF read failed (the reader's reason), or kStreamLoadError after LoadStream.
  QString LastError() const { return fLastError; }

private:
  bool ReadStream(QIODevice& stream, QByteArray& bytes);

  QString fLastError;
};

} // namespace kavelo::richtext
