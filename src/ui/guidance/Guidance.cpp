#include "ui/guidance/Guidance.h"

#include "net/Helpers.h"

#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

namespace kavelo::ui {

namespace {

constexpr int kGuidanceCaptionMessage = 179;

TGuidanceErrorReport& ErrorReport() {
  static TGuidanceErrorReport report;
  return report;
}

void Report(QWidget* mainWindow, const QString& text) {
  if (ErrorReport()) {
    ErrorReport()(mainWindow, text);
    return;
  }
  QMessageBox::critical(mainWindow, QGuiApplication::applicationDisplayName(), text);
}

QString MissingResource(const QString& name) {
  return QStringLiteral("Resource %1 not found").arg(name);
}

void CentreOn(QWidget* dialog, QWidget* mainWindow) {
  const QScreen* screen = mainWindow ? mainWindow->screen() : QGuiApplication::primaryScreen();
  // Before it is shown the dialog has no frame yet; the main window's frame is the best
  // guess of what the window manager will add around it.
  QSize frameSize = dialog->size();
  if (mainWindow) frameSize += mainWindow->frameGeometry().size() - mainWindow->size();
  QRect frame(QPoint(0, 0), frameSize);
  if (mainWindow)
    frame.moveCenter(mainWindow->frameGeometry().center());
  else if (screen)
    frame.moveCenter(screen->availableGeometry().center());
  // The dialog is taller than the main window: near a screen edge, centring alone would push
  // its title bar out of reach, so it is kept on the screen, the top-left corner winning.
  if (screen) {
    const QRect desk = screen->availableGeometry();
    if (frame.right() > desk.right()) frame.moveRight(desk.right());
    if (frame.bottom() > desk.bottom()) frame.moveBottom(desk.bottom());
    if (frame.left() < desk.left()) frame.moveLeft(desk.left());
    if (frame.top() < desk.top()) frame.moveTop(desk.top());
  }
  dialog->move(frame.topLeft());
}

} // namespace

QString GuidanceDocumentName(int languageBase) {
  switch (languageBase) {
  case 1000:
    return QStringLiteral("Kavelo_Info_Deutsch");
  case 3000:
    return QStringLiteral("Kavelo_Info_Francais");
  case 4000:
    return QStringLiteral("Kavelo_Info_Espanol");
  case 5000:
    return QStringLiteral("Kavelo_Info_Italiano");
  case 6000:
    return QStringLiteral("Kavelo_Info_Cestina");
  case 7000:
    return QStringLiteral("Kavelo_Info_Nederlands");
  default:
    return QStringLiteral("Kavelo_Info_English");
  }
}

QString GuidanceDocumentPath(int languageBase) {
  return QStringLiteral(":/guidance/") + GuidanceDocumentName(languageBase) +
         QStringLiteral(".rtf");
}

QString GuidancePicturePath() {
  return QStringLiteral(":/guidance/") + QLatin1StringView(kGuidancePictureName) +
         QStringLiteral(".bmp");
}

TInfoDialog* OpenInfoDialog(QWidget* mainWindow, QIODevice& document, const TBitmap& picture) {
  auto* dialog = new TInfoDialog(mainWindow);
  dialog->setWindowTitle(LocalizedText(kGuidanceCaptionMessage));
  if (!dialog->PutStream(document) || !dialog->PutBitmap(picture)) {
    const QString error = dialog->RichEditInfo()->LastError();
    delete dialog;
    Report(mainWindow, error);
    return nullptr;
  }
  CentreOn(dialog, mainWindow);
  dialog->show();
  return dialog;
}

TInfoDialog* OpenGuidanceDialog(QWidget* mainWindow, int languageBase) {
  QFile document(GuidanceDocumentPath(languageBase));
  if (!document.open(QIODevice::ReadOnly)) {
    Report(mainWindow, MissingResource(GuidanceDocumentName(languageBase)));
    return nullptr;
  }
  QFile pictureFile(GuidancePicturePath());
  TBitmap picture;
  if (pictureFile.open(QIODevice::ReadOnly)) picture = TBitmap::FromBmpFile(pictureFile.readAll());
  if (!picture.IsValid()) {
    Report(mainWindow, MissingResource(QLatin1StringView(kGuidancePictureName)));
    return nullptr;
  }
  return OpenInfoDialog(mainWindow, document, picture);
}

TInfoDialog* ShowGuidance(QWidget* mainWindow) {
  return OpenGuidanceDialog(mainWindow, LanguageBase());
}

TGuidanceErrorReport SetGuidanceErrorReport(TGuidanceErrorReport report) {
  TGuidanceErrorReport previous = std::move(ErrorReport());
  ErrorReport() = std::move(report);
  return previous;
}

} // namespace kavelo::ui
