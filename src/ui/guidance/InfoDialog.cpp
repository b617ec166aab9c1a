#include "ui/guidance/InfoDialog.h"

#include "ui/Scale.h"

#include <QBuffer>
#include <QResizeEvent>

namespace kavelo::ui {

namespace {

// Positions in the client area; the viewer keeps its distances to all four edges.
constexpr int kMargin = 8;
constexpr int kFontPixels = 11;
constexpr QRect kOkGeometry(287, 551, 76, 25);
constexpr QRect kInfoGeometry(kMargin, kMargin, 634, 529);
constexpr int kInfoBottomGap = TInfoDialog::kClientHeight - (kMargin + 529);

} // namespace

TInfoDialog::TInfoDialog(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowStaysOnTopHint) {
  // No title-bar buttons: OK is the way out. Kept above every window, also other programs'.
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose);
  setSizeGripEnabled(false);
  // Designed at 96 dpi like the main window, and scaled with the screen the same way.
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(Scaled(kFontPixels));
  setFont(font);
  setFixedSize(Scaled(QSize(kClientWidth, kClientHeight)));

  fBitBtnOk = new QPushButton(QStringLiteral("OK"), this);
  fBitBtnOk->setObjectName(QStringLiteral("BitBtnOk"));
  fBitBtnOk->setGeometry(Scaled(kOkGeometry));
  fBitBtnOk->setDefault(true);
  connect(fBitBtnOk, &QPushButton::clicked, this, &TInfoDialog::BitBtnOkClick);

  fRichEditInfo = new richtext::TRichEdit(this);
  fRichEditInfo->setObjectName(QStringLiteral("RichEditInfo"));
  fRichEditInfo->setGeometry(Scaled(kInfoGeometry));
  // The viewer's own font, for text without a font of its own, scales with the rest.
  QFont viewerFont = fRichEditInfo->font();
  viewerFont.setPixelSize(Scaled(kFontPixels));
  fRichEditInfo->setFont(viewerFont);
  fRichEditInfo->document()->setDefaultFont(viewerFont);

  setTabOrder(fBitBtnOk, fRichEditInfo);
  fBitBtnOk->setFocus();
}

void TInfoDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const QSize size = event->size();
  const int margin = Scaled(kMargin);
  fRichEditInfo->setGeometry(margin, margin, size.width() - 2 * margin,
                             size.height() - margin - Scaled(kInfoBottomGap));
}

bool TInfoDialog::PutStream(QIODevice& stream) {
  if (!fRichEditInfo->LoadStream(stream)) return false;
  fRichEditInfo->SetSelection(0, 0);
  return true;
}

bool TInfoDialog::PutBitmap(const TBitmap& bitmap) {
  return StreamInRtf(BitmapToRtf(bitmap));
}

QString TInfoDialog::BitmapToRtf(const TBitmap& bitmap) {
  static constexpr char kOpening[] = "{\\rtf1 {\\pict\\dibitmap ";
  static constexpr char kClosing[] = " }}";
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const QByteArray& info = bitmap.InfoBlock();
  const QByteArray& pixels = bitmap.PixelData();
  QString text;
  text.reserve(sizeof(kOpening) - 1 + 2 * (info.size() + pixels.size()) + sizeof(kClosing) - 1);
  text += QLatin1StringView(kOpening);
  for (const QByteArray* part : {&info, &pixels}) {
    for (const char c : *part) {
      const auto byte = static_cast<uint8_t>(c);
      text += QLatin1Char(kDigits[byte >> 4]);
      text += QLatin1Char(kDigits[byte & 0x0F]);
    }
  }
  text += QLatin1StringView(kClosing);
  return text;
}

bool TInfoDialog::StreamInRtf(const QString& text) {
  QByteArray bytes = text.toLatin1();
  QBuffer stream(&bytes);
  stream.open(QIODevice::ReadOnly);
  return fRichEditInfo->StreamInRtf(stream);
}

void TInfoDialog::BitBtnOkClick() {
  close();
}

} // namespace kavelo::ui
