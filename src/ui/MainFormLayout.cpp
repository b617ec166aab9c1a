// The window's controls and menu, placed as designed (pixels at 96 dpi).

#include "handheld/Search.h"
#include "ui/Anchors.h"
#include "ui/MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace kavelo::ui {

namespace {

template <typename T> T* Make(QWidget* parent, const char* name) {
  auto* w = new T(parent);
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QPushButton* Button(QWidget* parent, const char* name, TAnchors& anchors, QRect r,
                    unsigned a = akLeftTop, bool enabled = true) {
  auto* b = Make<QPushButton>(parent, name);
  b->setAutoDefault(false);
  b->setEnabled(enabled);
  anchors.Place(b, r, a);
  return b;
}

QComboBox* Combo(QWidget* parent, const char* name, TAnchors& anchors, QRect r, unsigned a,
                 const QStringList& items, const QString& text, bool enabled = true) {
  auto* c = Make<QComboBox>(parent, name);
  c->setEditable(true);
  c->setInsertPolicy(QComboBox::NoInsert);
  c->addItems(items);
  c->setEditText(text);
  c->setEnabled(enabled);
  anchors.Place(c, r, a);
  return c;
}

QLabel* Label(QWidget* parent, const char* name, TAnchors& anchors, QPoint at, const QString& text,
              unsigned a = akLeftTop) {
  auto* l = Make<QLabel>(parent, name);
  l->setText(text);
  const QSize hint = l->sizeHint();
  anchors.Place(l, QRect(at, QSize(static_cast<int>(hint.width() / DesignScale()) + 2, 13)), a);
  return l;
}

} // namespace

void TMainForm::BuildControls() {
  fClient = new QWidget(this);
  fClient->setObjectName(QStringLiteral("ClientArea"));
  setCentralWidget(fClient);
  fAnchors = new TAnchors(fClient, QSize(557, 650));
  auto& a = *fAnchors;

  LabeledEditIPAddress = Make<QLineEdit>(fClient, "LabeledEditIPAddress");
  LabeledEditIPAddress->setText(QString::fromLatin1(kDefaultAddressText));
  a.Place(LabeledEditIPAddress, QRect(8, 21, 136, 21));
  LabeledEditIPAddressLabel = Make<QLabel>(fClient, "LabeledEditIPAddressLabel");
  LabeledEditIPAddressLabel->setBuddy(LabeledEditIPAddress);
  a.Place(LabeledEditIPAddressLabel, QRect(8, 5, 136, 13));
  BitBtnSearch = Button(fClient, "BitBtnSearch", a, QRect(150, 19, 95, 25));
  BitBtnConnect = Button(fClient, "BitBtnConnect", a, QRect(251, 19, 95, 25));
  BitBtnDisconnect = Button(fClient, "BitBtnDisconnect", a, QRect(352, 19, 95, 25), akLeftTop, false);
  BitBtnGuidance = Button(fClient, "BitBtnGuidance", a, QRect(453, 19, 95, 25));

  GroupBoxFWUpdate = Make<QGroupBox>(fClient, "GroupBoxFWUpdate");
  a.Place(GroupBoxFWUpdate, QRect(8, 50, 541, 111), akLeft | akTop | akRight);
  fGroupAnchors = new TAnchors(GroupBoxFWUpdate, QSize(541, 111));
  auto& g = *fGroupAnchors;
  BitBtnUpdateHM = Button(GroupBoxFWUpdate, "BitBtnUpdateHM", g, QRect(8, 20, 128, 25), akLeftTop, false);
  LabelHMFirmware = Make<QLabel>(GroupBoxFWUpdate, "LabelHMFirmware");
  g.Place(LabelHMFirmware, QRect(255, 27, 214, 13), akLeft | akTop | akRight);
  BitBtnUpdateRM = Button(GroupBoxFWUpdate, "BitBtnUpdateRM", g, QRect(8, 51, 128, 25), akLeftTop, false);
  LabelRMFirmware = Make<QLabel>(GroupBoxFWUpdate, "LabelRMFirmware");
  g.Place(LabelRMFirmware, QRect(255, 56, 214, 13), akLeft | akTop | akRight);
  ProgressBar1 = Make<QProgressBar>(GroupBoxFWUpdate, "ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);
  // The bar draws its own white and lime whatever the desktop's theme; the status line over it
  // therefore takes a fixed black, which reads on both (a dark theme's light text would not).
  ProgressBar1->setStyleSheet(QStringLiteral(
      "QProgressBar { border: 1px solid #a0a0a0; background: white; }"
      "QProgressBar::chunk { background-color: lime; }"));
  g.Place(ProgressBar1, QRect(8, 83, 525, 17), akLeft | akTop | akRight);

  CheckBoxStepHM = Make<QCheckBox>(GroupBoxFWUpdate, "CheckBoxStepHM");
  CheckBoxStepRM = Make<QCheckBox>(GroupBoxFWUpdate, "CheckBoxStepRM");
  for (auto* box : {CheckBoxStepHM, CheckBoxStepRM}) {
    box->setText(QStringLiteral("Step"));
    box->setToolTip(QString::fromUtf8("single step mit Bestätigung"));
  }
  g.Place(CheckBoxStepHM, QRect(142, 24, 50, 17));
  g.Place(CheckBoxStepRM, QRect(142, 55, 50, 17));
  BitBtnOpenHM = Button(GroupBoxFWUpdate, "BitBtnOpenHM", g, QRect(475, 20, 58, 25));
  BitBtnOpenRM = Button(GroupBoxFWUpdate, "BitBtnOpenRM", g, QRect(475, 51, 58, 25));
  BitBtnOpenHM->setText(QStringLiteral("Open..."));
  BitBtnOpenRM->setText(QStringLiteral("Open..."));
  const QStringList versions{QStringLiteral("0x001"), QStringLiteral("0x100"), QStringLiteral("0x101")};
  ComboBoxHMVersion = Combo(GroupBoxFWUpdate, "ComboBoxHMVersion", g, QRect(191, 26, 58, 21), akLeftTop, versions, {});
  ComboBoxRMVersion = Combo(GroupBoxFWUpdate, "ComboBoxRMVersion", g, QRect(191, 53, 58, 21), akLeftTop, versions, {});
  LabelNewVersion = Label(GroupBoxFWUpdate, "LabelNewVersion", g, QPoint(191, 8), QStringLiteral("New Version"));

  BitBtnClose = Button(fClient, "BitBtnClose", a, QRect(240, 617, 76, 25), akBottom);

  GroupBoxDevTest = Make<QGroupBox>(fClient, "GroupBoxDevTest");
  GroupBoxDevTest->setTitle(QStringLiteral("Developer Tests"));
  a.Place(GroupBoxDevTest, QRect(8, 167, 541, 437), akAll);
  BuildDevPanel();
  BuildMenu();
}

void TMainForm::BuildDevPanel() {
  QWidget* p = GroupBoxDevTest;
  fPanelAnchors = new TAnchors(p, QSize(541, 437));
  auto& a = *fPanelAnchors;
  const unsigned topRight = akTop | akRight;
  BitBtnHMUpdate = Button(p, "BitBtnHMUpdate", a, QRect(8, 26, 97, 25), akLeftTop, false);
  BitBtnRestart = Button(p, "BitBtnRestart", a, QRect(111, 26, 97, 25), akLeftTop, false);
  BitBtnUpdatePFD = Button(p, "BitBtnUpdatePFD", a, QRect(214, 26, 97, 25), akLeftTop, false);
  auto* rescue = Make<QLabel>(p, "Label10");
  rescue->setText(QStringLiteral("Rescue"));
  rescue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  a.Place(rescue, QRect(332, 31, 35, 13));
  LabelPFDFirmware = Make<QLabel>(p, "LabelPFDFirmware");
  a.Place(LabelPFDFirmware, QRect(370, 31, 50, 13));
  Label(p, "Label1", a, QPoint(444, 10), QStringLiteral("Flash Address"), topRight);
  ComboBoxAddress = Combo(p, "ComboBoxAddress", a, QRect(444, 23, 89, 21), topRight,
                          {"0x00000", "0x00400", "0x30000", "0x38000", "0x40000", "0x41800", "0x4A500"},
                          QStringLiteral("0x40000"));
  Label(p, "Label2", a, QPoint(444, 46), QStringLiteral("Read Length"), topRight);
  ComboBoxReadLen = Combo(p, "ComboBoxReadLen", a, QRect(444, 59, 89, 21), topRight,
                          {"256", "512", "1024", "6144", "65536"}, QStringLiteral("256"));
  BitBtnRead = Button(p, "BitBtnRead", a, QRect(8, 57, 97, 25), akLeftTop, false);
  BitBtnErase = Button(p, "BitBtnErase", a, QRect(111, 57, 97, 25), akLeftTop, false);
  BitBtnWrite = Button(p, "BitBtnWrite", a, QRect(214, 57, 97, 25), akLeftTop, false);
  BitBtnVerify = Button(p, "BitBtnVerify", a, QRect(317, 57, 97, 25), akLeftTop, false);
  LabeledEditFileName = Make<QLineEdit>(p, "LabeledEditFileName");
  a.Place(LabeledEditFileName, QRect(8, 103, 442, 21), akLeft | akTop | akRight);
  auto* fileLabel = Make<QLabel>(p, "LabeledEditFileNameLabel");
  fileLabel->setText(QStringLiteral("Filename"));
  fileLabel->setBuddy(LabeledEditFileName);
  a.Place(fileLabel, QRect(8, 87, 442, 13), akLeft | akTop | akRight);
  BitBtnOpen = Button(p, "BitBtnOpen", a, QRect(475, 101, 58, 25), topRight);
  BitBtnReadControlBlock = Button(p, "BitBtnReadControlBlock", a, QRect(8, 130, 97, 25), akLeftTop, false);
  BitBtnWriteControlBlock = Button(p, "BitBtnWriteControlBlock", a, QRect(214, 130, 97, 25), akLeftTop, false);
  Label(p, "LabelWCBHint", a, QPoint(317, 135), QStringLiteral("NOTE: no automatic FlashErase!"));

  const QStringList newItems{"0x00000001", "0x00000100", "0x00000101"};
  const QStringList oldItems{"0x00000001", "0x00000100", "0x00000101", "0xFFFFFFFF"};
  Label(p, "Label3", a, QPoint(8, 163), QStringLiteral("New HM Firmware"));
  ComboBoxNewFirmwareHM = Combo(p, "ComboBoxNewFirmwareHM", a, QRect(8, 179, 97, 21), akLeftTop, newItems, "0x00000101", false);
  Label(p, "Label4", a, QPoint(111, 163), QStringLiteral("Old HM Firmware"));
  ComboBoxOldFirmwareHM = Combo(p, "ComboBoxOldFirmwareHM", a, QRect(111, 179, 97, 21), akLeftTop, oldItems, "0xFFFFFFFF", false);
  Label(p, "Label5", a, QPoint(333, 163), QStringLiteral("New RM Firmware"));
  ComboBoxNewFirmwareRM = Combo(p, "ComboBoxNewFirmwareRM", a, QRect(333, 179, 97, 21), akLeftTop, newItems, "0x00000100", false);
  Label(p, "Label6", a, QPoint(436, 163), QStringLiteral("Old RM Firmware"));
  ComboBoxOldFirmwareRM = Combo(p, "ComboBoxOldFirmwareRM", a, QRect(436, 179, 97, 21), akLeftTop, oldItems, "0xFFFFFFFF", false);
  Label(p, "Label7", a, QPoint(8, 203), QStringLiteral("New HM Resources"));
  ComboBoxNewHMResources = Combo(p, "ComboBoxNewHMResources", a, QRect(8, 219, 97, 21), akLeftTop, newItems, "0x00000100", false);
  Label(p, "Label8", a, QPoint(111, 203), QStringLiteral("Old HM Resources"));
  ComboBoxOldHMResources = Combo(p, "ComboBoxOldHMResources", a, QRect(111, 219, 97, 21), akLeftTop, oldItems, "0xFFFFFFFF", false);
  Label(p, "Label9", a, QPoint(214, 203), QStringLiteral("Resource Address"));
  ComboBoxResourceAddress = Combo(p, "ComboBoxResourceAddress", a, QRect(214, 219, 97, 21), akLeftTop,
                                  {"0x00038000", "0x00040000"}, "0x00040000", false);
  CheckBoxLogRX = Make<QCheckBox>(p, "CheckBoxLogRX");
  CheckBoxLogRX->setText(QStringLiteral("Show RX"));
  a.Place(CheckBoxLogRX, QRect(404, 222, 65, 17), topRight);
  BitBtnClearLog = Button(p, "BitBtnClearLog", a, QRect(475, 217, 58, 25), topRight);
  BitBtnClearLog->setText(QStringLiteral("Clear Log"));
  MemoLog = Make<QPlainTextEdit>(p, "MemoLog");
  MemoLog->setReadOnly(true);
  MemoLog->setLineWrapMode(QPlainTextEdit::NoWrap);
  MemoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MemoLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  a.Place(MemoLog, QRect(8, 250, 525, 178), akAll);

  BitBtnHMUpdate->setText(QStringLiteral("Send UPDATE"));
  BitBtnRestart->setText(QStringLiteral("Send RESTART"));
  BitBtnUpdatePFD->setText(QStringLiteral("Update PFD"));
  BitBtnRead->setText(QStringLiteral("Read Flash"));
  BitBtnErase->setText(QStringLiteral("Erase Flash"));
  BitBtnWrite->setText(QStringLiteral("Write Flash"));
  BitBtnVerify->setText(QStringLiteral("Verify Flash"));
  BitBtnOpen->setText(QStringLiteral("Open..."));
  BitBtnReadControlBlock->setText(QStringLiteral("Read Ctrl Block"));
  BitBtnWriteControlBlock->setText(QStringLiteral("Write Ctrl Block"));
}

void TMainForm::BuildMenu() {
  MenuFile = menuBar()->addMenu(QString());
  MenuFile->setObjectName(QStringLiteral("MenuFile"));
  MenuExit = MenuFile->addAction(QString());
  MenuExit->setObjectName(QStringLiteral("MenuExit"));
  MenuLanguage = menuBar()->addMenu(QString());
  MenuLanguage->setObjectName(QStringLiteral("MenuLanguage"));
  LanguageGroup = new QActionGroup(this);
  LanguageGroup->setExclusive(true);
  for (size_t i = 0; i < kLanguages.size(); ++i) {
    QAction* item = MenuLanguage->addAction(QString::fromLatin1(kLanguages[i].MenuText));
    item->setObjectName(QString::fromLatin1(kLanguages[i].MenuName));
    item->setCheckable(true);
    LanguageGroup->addAction(item);
    LanguageItems[i] = item;
  }
  MenuHelp = menuBar()->addMenu(QString());
  MenuHelp->setObjectName(QStringLiteral("MenuHelp"));
  MenuGuidance = MenuHelp->addAction(QString());
  MenuGuidance->setObjectName(QStringLiteral("MenuGuidance"));
  MenuHelp->addSeparator();
  MenuAbout = MenuHelp->addAction(QString());
  MenuAbout->setObjectName(QStringLiteral("MenuAbout"));
}

} // namespace kavelo::ui
