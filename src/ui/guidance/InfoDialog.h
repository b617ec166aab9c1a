#pragma once
// TInfoDialog: the guidance window. It shows one RTF document with one picture above it;
// it is filled once when opened and never follows later language changes.

#include "richtext/RichEdit.h"
#include "ui/guidance/Bitmap.h"

#include <QDialog>
#include <QIODevice>
#include <QPushButton>
#include <QString>

namespace kavelo::ui {

class TInfoDialog : public QDialog {
  Q_OBJECT

public:
  static constexpr int kClientWidth = 650;
  static constexpr int kClientHeight = 584;

  explicit TInfoDialog(QWidget* owner = nullptr);

  // Loads the whole stream into RichEditInfo as RTF at the selection, or as plain text from
  // the same start when the RTF cannot be read; then selects position 0 and scrolls there.
  // False when neither load works: RichEditInfo()->LastError() holds the viewer's error.
  bool PutStream(QIODevice& stream);
  // Inserts the bitmap as an RTF picture at the selection, which PutStream left at the start.
  bool PutBitmap(const TBitmap& bitmap);
  // "{\rtf1 {\pict\dibitmap " + the information block and the pixel rows as upper-case hex
  // digit pairs + " }}".
  static QString BitmapToRtf(const TBitmap& bitmap);
  // Hands text (plain ASCII, one byte per character) to the viewer as an RTF stream
  // inserted at the selection.
  bool StreamInRtf(const QString& text);

  QPushButton* BitBtnOk() const { return fBitBtnOk; }
  richtext::TRichEdit* RichEditInfo() const { return fRichEditInfo; }

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void BitBtnOkClick();

  QPushButton* fBitBtnOk = nullptr;
  richtext::TRichEdit* fRichEditInfo = nullptr;
};

} // namespace kavelo::ui
