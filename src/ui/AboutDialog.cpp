#include "ui/AboutDialog.h"

#include "net/Helpers.h"
#include "ui/Anchors.h"
#include "update/Versions.h"

#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

namespace kavelo::ui {

namespace {

QString ResourceString(const char* path) {
  QFile f(QString::fromLatin1(path));
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
}

QLabel* Text(QWidget* parent, const char* name, QRect design, const QString& text) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  const QRect r = Scaled(design);
  l->setGeometry(r);
  l->setMinimumWidth(r.width());
  return l;
}

} // namespace

QString ProgramVersionText() { return ResourceString(":/about/ProgramVersion.txt"); }
QString ProgramBuildText() { return ResourceString(":/about/ProgramBuild.txt"); }
QString ProgramNoticeText() { return ResourceString(":/about/Notice.txt"); }

TAboutDialog::TAboutDialog(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowStaysOnTopHint) {
  setObjectName(QStringLiteral("AboutDialog"));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(Scaled(11));
  setFont(font);
  setFixedSize(Scaled(367), Scaled(269));

  ImageHeader = Text(this, "ImageHeader", QRect(0, 0, 366, 49), {});
  ImageHeader->setPixmap(QPixmap(QStringLiteral(":/artwork/about-header.png")));
  ImageIcon = Text(this, "ImageIcon", QRect(24, 80, 48, 48), {});
  ImageIcon->setPixmap(QPixmap(QStringLiteral(":/artwork/about-symbol.png")));
  LabelName = Text(this, "LabelName", QRect(108, 80, 250, 13), QString::fromUtf8("Orvo® Kavelo Update Tool"));
  QFont bold = font;
  bold.setBold(true);
  LabelName->setFont(bold);
  LabelVersion = Text(this, "LabelVersion", QRect(108, 100, 250, 13), QStringLiteral("Version "));
  LabelHMFwVersion = Text(this, "LabelHMFwVersion", QRect(108, 131, 250, 13),
                          QString::fromUtf8("WLAN-VINDRA® Firmware Version "));
  LabelRMFwVersion = Text(this, "LabelRMFwVersion", QRect(108, 150, 250, 13),
                          QStringLiteral("WLAN Radio Module Firmware Version "));
  LabelLangVersion = Text(this, "LabelLangVersion", QRect(108, 170, 250, 13),
                          QString::fromUtf8("WLAN-VINDRA® Language Version "));
  LabelManufacturer = Text(this, "LabelManufacturer", QRect(108, 200, 250, 13), QString::fromUtf8("© "));
  BitBtnOk = new QPushButton(QStringLiteral("OK"), this);
  BitBtnOk->setObjectName(QStringLiteral("BitBtnOk"));
  BitBtnOk->setGeometry(Scaled(QRect(146, 236, 75, 25)));
  BitBtnOk->setDefault(true);
  BitBtnOk->setFocus();
  connect(BitBtnOk, &QPushButton::clicked, this, &QDialog::close);
}

TAboutDialog* OpenAboutDialog(QWidget* mainWindow) {
  auto* dialog = new TAboutDialog(mainWindow);
  dialog->setWindowTitle(LocalizedText(592) + " " +
                         (mainWindow ? mainWindow->windowTitle() : QString()));
  dialog->LabelVersion->setText(dialog->LabelVersion->text() + ProgramVersionText() + " build " +
                                ProgramBuildText());
  dialog->LabelHMFwVersion->setText(dialog->LabelHMFwVersion->text() + VersionText(HMFirmwareVersion));
  dialog->LabelRMFwVersion->setText(dialog->LabelRMFwVersion->text() + VersionText(RMFirmwareVersion));
  dialog->LabelLangVersion->setText(dialog->LabelLangVersion->text() + VersionText(HMResourcesVersion));
  dialog->LabelManufacturer->setText(dialog->LabelManufacturer->text() + ProgramNoticeText());
  for (QLabel* l : {dialog->LabelName, dialog->LabelVersion, dialog->LabelHMFwVersion,
                    dialog->LabelRMFwVersion, dialog->LabelLangVersion, dialog->LabelManufacturer})
    l->adjustSize(); // at least 250 pixels wide, wider with its text
  if (mainWindow) {
    const QRect frame = mainWindow->frameGeometry();
    dialog->move(frame.center() - QPoint(dialog->width() / 2, dialog->height() / 2));
  }
  dialog->show();
  return dialog;
}

} // namespace kavelo::ui
