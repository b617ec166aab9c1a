#include "ui/MainForm.h"

#include "net/Helpers.h"
#include "ui/AboutDialog.h"
#include "ui/Anchors.h"
#include "ui/guidance/Guidance.h"
#include "update/Progress.h"
#include "update/Versions.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace kavelo::ui {

namespace {
constexpr int kOuterHeight = 255;
constexpr int kMinOuterWidth = 560;
constexpr int kMinOuterHeight = 250;
constexpr int kUpdateButtonDesignWidth = 128;
#ifdef KAVELO_SHOW_DEV_PANEL
constexpr bool kShowDeveloperPanel = true;
#else
constexpr bool kShowDeveloperPanel = false;
#endif
} // namespace

TMainForm::TMainForm(TMainFormEnvironment environment, QWidget* parent)
    : QMainWindow(parent), fEnvironment(std::move(environment)) {
  if (!fEnvironment.LanguageStore) fEnvironment.LanguageStore = CreateSettingsLanguageStore();
  if (fEnvironment.SystemLanguage == QLocale::AnyLanguage)
    fEnvironment.SystemLanguage = QLocale::system().language();

  // 1. The window and its controls.
  setObjectName(QStringLiteral("MainForm"));
  setWindowTitle(QStringLiteral("Orvo Kavelo Update Tool"));
  setWindowIcon(QIcon(QStringLiteral(":/artwork/kavelo-update-tool.png")));
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(Scaled(11));
  setFont(font);
  BuildControls();
  resize(Scaled(557), Scaled(650) + menuBar()->sizeHint().height());

  // 2. The language: the stored choice, else the system's.
  SetLanguage(StartupLanguage(*fEnvironment.LanguageStore, fEnvironment.SystemLanguage));
  for (size_t i = 0; i < kLanguages.size(); ++i)
    LanguageItems[i]->setChecked(kLanguages[i].Base == Language());

  // 3. The connection.
  fKavelo = std::make_unique<TKavelo>(this);
  if (fEnvironment.LinkFactory) fKavelo->SetLinkFactory(fEnvironment.LinkFactory);
  fKavelo->SetReceivedEvent(
      [this](IKaveloLink* sender, uint16_t header, const uint8_t* data, uint16_t size) {
        HandheldDataReceived(sender, header, data, size);
      });
  fKavelo->SetIgnoredEvent(
      [this](IKaveloLink* sender, uint16_t header, const uint8_t* data, uint16_t size,
             TIgnoredReply reason) { HandheldFrameIgnored(sender, header, data, size, reason); });
  fKavelo->SetProgress([this](const void* sender, int32_t max, int32_t position) {
    HandheldProgress(sender, max, position);
  });

  // 4. The status line over the progress bar.
  fLabelStatus = new QLabel(ProgressBar1);
  fLabelStatus->setObjectName(QStringLiteral("fLabelStatus"));
  fLabelStatus->setAlignment(Qt::AlignCenter);
  fLabelStatus->setAttribute(Qt::WA_TranslucentBackground);
  fLabelStatus->setAutoFillBackground(false);
  fLabelStatus->setStyleSheet(QStringLiteral("QLabel { color: black; background: transparent; }"));
  fLabelStatus->setGeometry(0, Scaled(2), ProgressBar1->width(), Scaled(13));
  // The line stays centred over the bar when the window is widened.
  auto* statusAnchors = new TAnchors(ProgressBar1, ProgressBar1->size() / DesignScale());
  statusAnchors->Place(fLabelStatus,
                       QRect(0, 2, static_cast<int>(ProgressBar1->width() / DesignScale()), 13),
                       akLeft | akTop | akRight);

  // 5. The developer panel and the update group's extra controls stay out of sight, unless this
  // is the service technicians' build.
  if (!kShowDeveloperPanel) {
    GroupBoxDevTest->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{
             GroupBoxDevTest, CheckBoxStepHM, CheckBoxStepRM, BitBtnOpenHM, BitBtnOpenRM,
             ComboBoxHMVersion, ComboBoxRMVersion, LabelNewVersion})
      w->hide();

    // 6. Only the connection row, the update group and Close show.
    GroupBoxDevTest->resize(GroupBoxDevTest->width(), 0);
  }
  ApplyOuterSizes();

  // 7. The texts.
  ApplyLanguage();

  connect(BitBtnSearch, &QPushButton::clicked, this, [this] { BitBtnSearchClick(); });
  connect(BitBtnConnect, &QPushButton::clicked, this, [this] { BitBtnConnectClick(); });
  connect(BitBtnDisconnect, &QPushButton::clicked, this, [this] { BitBtnDisconnectClick(); });
  connect(BitBtnGuidance, &QPushButton::clicked, this, [this] { BitBtnGuidanceClick(); });
  connect(BitBtnClose, &QPushButton::clicked, this, [this] { close(); });
  connect(MenuExit, &QAction::triggered, this, [this] { close(); });
  connect(MenuGuidance, &QAction::triggered, this, [this] { MenuGuidanceClick(); });
  connect(MenuAbout, &QAction::triggered, this, [this] { MenuAboutClick(); });
  for (size_t i = 0; i < kLanguages.size(); ++i) {
    const int base = kLanguages[i].Base;
    connect(LanguageItems[i], &QAction::triggered, this, [this, base] { LanguageClick(base); });
  }
  connect(BitBtnClearLog, &QPushButton::clicked, MemoLog, &QPlainTextEdit::clear);
  WireDevPanel();
}

TMainForm::~TMainForm() {
  // The choice becomes persistent only now, at every exit.
  fEnvironment.LanguageStore->Write(Language());
  fKavelo.reset(); // closes any open link; nothing is sent to the handheld
}

int TMainForm::Language() const {
  return LanguageBase();
}

void TMainForm::SetLanguage(int base) {
  SetLanguageBase(base);
  UseQtTranslations(base);
}

void TMainForm::ApplyLanguage() {
  BitBtnClose->setText(LocalizedText(151));
  LabeledEditIPAddressLabel->setText(LocalizedText(152));
  LabeledEditIPAddress->setToolTip(LocalizedText(153));
  BitBtnConnect->setText(LocalizedText(154));
  BitBtnConnect->setToolTip(LocalizedText(155));
  BitBtnDisconnect->setText(LocalizedText(156));
  BitBtnDisconnect->setToolTip(LocalizedText(157));
  BitBtnSearch->setText(LocalizedText(158));
  BitBtnSearch->setToolTip(LocalizedText(159));
  GroupBoxFWUpdate->setTitle(LocalizedText(160));
  BitBtnUpdateHM->setText(LocalizedText(161));
  BitBtnUpdateHM->setToolTip(LocalizedText(162));
  BitBtnUpdateRM->setText(LocalizedText(163));
  BitBtnUpdateRM->setToolTip(LocalizedText(164));
  BitBtnGuidance->setText(LocalizedText(177));
  BitBtnGuidance->setToolTip(LocalizedText(178));
  MenuFile->setTitle(LocalizedText(500));
  MenuExit->setText(LocalizedText(151));
  MenuLanguage->setTitle(LocalizedText(550));
  MenuHelp->setTitle(LocalizedText(590));
  MenuGuidance->setText(LocalizedText(177));
  MenuAbout->setText(LocalizedText(591));
  FitUpdateButtons();
  ShowHMVersion();
  ShowRMVersion();
  ShowPFDVersion();
}

void TMainForm::FitUpdateButtons() {
  // Captions such as "Mettre à jour le module radio" are longer than the design's 128 pixels;
  // the buttons keep their place and grow into the free room before the version labels.
  int width = Scaled(kUpdateButtonDesignWidth);
  for (const QPushButton* button : {BitBtnUpdateHM, BitBtnUpdateRM})
    width = std::max(width, button->sizeHint().width());
  for (QPushButton* button : {BitBtnUpdateHM, BitBtnUpdateRM}) fGroupAnchors->SetWidth(button, width);
}

void TMainForm::ShowHMVersion() {
  ComboBoxHMVersion->setEditText(VersionComboText(HMFirmwareVersion));
  LabelHMFirmware->setText(HMFirmwareLabel());
}

void TMainForm::ShowRMVersion() {
  ComboBoxRMVersion->setEditText(VersionComboText(RMFirmwareVersion));
  LabelRMFirmware->setText(RMFirmwareLabel());
}

void TMainForm::ShowPFDVersion() {
  LabelPFDFirmware->setText(PFDFirmwareLabel());
}

void TMainForm::LanguageClick(int base) {
  SetLanguage(base);
  ApplyLanguage();
}

void TMainForm::UpdateControlStates(bool Connected) {
  const bool hasFile = !LabeledEditFileName->text().isEmpty();
  BitBtnSearch->setEnabled(!Connected);
  BitBtnConnect->setEnabled(!Connected);
  BitBtnDisconnect->setEnabled(Connected);
  BitBtnUpdateHM->setEnabled(Connected && !LabelHMFirmware->text().isEmpty());
  BitBtnUpdateRM->setEnabled(Connected && !LabelRMFirmware->text().isEmpty());
  BitBtnHMUpdate->setEnabled(Connected);
  BitBtnRestart->setEnabled(Connected);
  BitBtnErase->setEnabled(hasFile && Connected);
  BitBtnRead->setEnabled(Connected);
  BitBtnWrite->setEnabled(hasFile && Connected);
  BitBtnVerify->setEnabled(hasFile && Connected);
  BitBtnUpdatePFD->setEnabled(Connected);
  BitBtnReadControlBlock->setEnabled(Connected);
  BitBtnWriteControlBlock->setEnabled(Connected && fKavelo->HasControlBlock());
}

std::array<QComboBox*, 7> TMainForm::ControlBlockFields() const {
  return {ComboBoxNewFirmwareHM,  ComboBoxOldFirmwareHM,  ComboBoxNewFirmwareRM,
          ComboBoxOldFirmwareRM,  ComboBoxNewHMResources, ComboBoxOldHMResources,
          ComboBoxResourceAddress};
}

void TMainForm::AppendLog(const QString& line) {
  MemoLog->appendPlainText(line);
  MemoLog->verticalScrollBar()->setValue(MemoLog->verticalScrollBar()->maximum());
}

void TMainForm::HandheldDataReceived(IKaveloLink*, uint16_t Header, const uint8_t* ReceiveBuffer,
                                     uint16_t ReceiveBufferSize) {
  TraceRX(QStringLiteral("RX"), Header, ReceiveBuffer, ReceiveBufferSize);
}

void TMainForm::HandheldFrameIgnored(IKaveloLink* Sender, uint16_t Header,
                                     const uint8_t* ReceiveBuffer, uint16_t ReceiveBufferSize,
                                     TIgnoredReply Reason) {
  const QString why = Reason == TIgnoredReply::Late ? QStringLiteral("late reply")
                                                    : QStringLiteral("not from the handheld: ") +
                                                          (Sender ? Sender->PeerIP() : QString());
  TraceRX(QStringLiteral("RX ignored (") + why + QStringLiteral(")"), Header, ReceiveBuffer,
          ReceiveBufferSize);
}

void TMainForm::TraceRX(const QString& prefix, uint16_t Header, const uint8_t* ReceiveBuffer,
                        uint16_t ReceiveBufferSize) {
  if (!CheckBoxLogRX->isChecked()) return;
  QString line = prefix + QStringLiteral(" Len = ") + QString::number(ReceiveBufferSize) +
                 QStringLiteral(" Header = 0x") +
                 QStringLiteral("%1").arg(Header, 4, 16, QChar(u'0')).toUpper();
  for (uint16_t i = 0; i < ReceiveBufferSize; ++i)
    line += QStringLiteral(" %1").arg(ReceiveBuffer[i], 2, 16, QChar(u'0')).toUpper();
  AppendLog(line);
  MemoLog->repaint();
}

int TMainForm::ProgressPercent(int32_t Max, int32_t Position) {
  return kavelo::ProgressPercent(Max, Position);
}

void TMainForm::HandheldProgress(const void*, int32_t Max, int32_t Position) {
  ProgressBar1->setValue(std::clamp(ProgressPercent(Max, Position), 0, 100));
  ProgressBar1->repaint();
}

QSize TMainForm::FrameExtent() const {
  return frameGeometry().size() - size();
}

void TMainForm::ApplyOuterSizes() {
  // The smallest size and the start height are outer sizes, title bar and borders included. A
  // window manager tells the frame only once the window is shown, often a moment later, so this
  // runs again whenever the frame may have become known.
  const QSize frame = FrameExtent();
  if (fOuterSizesApplied && frame == fAppliedFrame) return;
  const bool keepDesignHeight = !kShowDeveloperPanel && (!fOuterSizesApplied || height() == fDesignInnerHeight);
  fOuterSizesApplied = true;
  fAppliedFrame = frame;
  setMinimumSize(Scaled(kMinOuterWidth) - frame.width(), Scaled(kMinOuterHeight) - frame.height());
  if (keepDesignHeight) {
    fDesignInnerHeight = Scaled(kOuterHeight) - frame.height();
    resize(width(), fDesignInnerHeight);
  }
}

void TMainForm::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (fShownOnce) ApplyOuterSizes();
}

void TMainForm::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (fShownOnce) ApplyOuterSizes();
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (fShownOnce) return;
  fShownOnce = true;
  ApplyOuterSizes();
  if (kShowDeveloperPanel) return;
  // The window starts centred on its screen.
  if (const QScreen* s = screen()) {
    const QRect area = s->availableGeometry();
    move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Quitting inside a wait would end its nested event loop and fail the operation half-way.
  if (fOperations > 0) {
    fCloseRequested = true;
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

TMainForm::TOperation::TOperation(TMainForm& form) : fForm(form) {
  ++fForm.fOperations;
}

TMainForm::TOperation::~TOperation() {
  if (--fForm.fOperations == 0 && fForm.fCloseRequested) {
    fForm.fCloseRequested = false;
    QTimer::singleShot(0, &fForm, [form = &fForm] { form->close(); });
  }
}

} // namespace kavelo::ui

namespace kavelo::ui {

void TMainForm::MenuAboutClick() {
  OpenAboutDialog(this);
}

void TMainForm::BitBtnGuidanceClick() {
  MenuGuidanceClick();
}

void TMainForm::MenuGuidanceClick() {
  ShowGuidance(this);
}

} // namespace kavelo::ui
