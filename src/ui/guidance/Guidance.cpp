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
  QRect area;
  if (mainWindow) area = mainWindow->frameGeometry();
  else if (const QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
  if (area.isEmpty()) return;
  dialog->move(area.center() - QPoint(dialog->width() / 2, dialog->height() / 2));
}

} // namespace

QString GuidanceDocumentName(int languageBase) {
  switch (languageBase) {
  case 1000: return QStringLiteral("Kavelo_Info_Deutsch");
  case 3000: return QStringLiteral("Kavelo_Info_Francais");
  case 4000: return QStringLiteral("Kavelo_Info_Espanol");
  case 5000: return QStringLiteral("Kavelo_Info_Italiano");
  case 6000: return QStringLiteral("Kavelo_Info_Cestina");
  case 7000: return QStringLiteral("Kavelo_Info_Nederlands");
  default: return QStringLiteral("Kavelo_Info_English");
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
