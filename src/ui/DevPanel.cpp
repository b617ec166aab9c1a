// The developer test panel: raw flash operations against a file, the update-mode request, a
// restart and the control block field by field.

#include "handheld/Waiting.h"
#include "net/Helpers.h"
#include "ui/MainForm.h"
#include "update/NumberSyntax.h"

#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

namespace kavelo::ui {

namespace {
constexpr int32_t kDefaultReadLength = 256;
constexpr uint32_t kPanelTransferSize = 256;
constexpr char kReadFileName[] = "readfile.bin";
} // namespace

TMainForm::TPanelOperation::TPanelOperation(TMainForm& form) : fForm(form), fOperation(form) {
  for (QPushButton* b : {form.BitBtnHMUpdate, form.BitBtnRestart, form.BitBtnUpdatePFD, form.BitBtnRead,
                         form.BitBtnErase, form.BitBtnWrite, form.BitBtnVerify,
                         form.BitBtnReadControlBlock, form.BitBtnWriteControlBlock, form.BitBtnSearch,
                         form.BitBtnConnect, form.BitBtnDisconnect})
    b->setEnabled(false);
}

TMainForm::TPanelOperation::~TPanelOperation() {
  fForm.UpdateControlStates(fForm.fKavelo->Connected());
}

void TMainForm::LogResult(int verb, int object, bool ok, const QString& err) {
  const QString text = LocalizedText(verb) + " " + LocalizedText(object);
  AppendLog(ok ? text + " " + LocalizedText(193) : text + " " + LocalizedText(171) + ": " + err);
}

int32_t TMainForm::GetFlashAddress() {
  int32_t address = 0;
  return ParsePanelNumber(ComboBoxAddress->currentText(), address) ? address : -1;
}

void TMainForm::BitBtnReadClick() {
  const int32_t address = GetFlashAddress();
  if (address < 0) return;
  int32_t length = 0;
  if (!ParsePanelNumber(ComboBoxReadLen->currentText(), length)) length = kDefaultReadLength;
  QFile file(QString::fromLatin1(kReadFileName));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    ReportError(QStringLiteral("Cannot create file \"%1\": %2").arg(file.fileName(), file.errorString()));
    return;
  }
  TPanelOperation operation(*this);
  QString err;
  const uint32_t begin = static_cast<uint32_t>(address);
  const bool ok = fKavelo->ReadFlash(begin, begin + static_cast<uint32_t>(length), kPanelTransferSize, file, err);
  file.close(); // keeps what was read, also after a failure
  LogResult(188, 184, ok, err);
}

void TMainForm::RunOnPanelFile(int verb, const std::function<bool(uint32_t begin, QFile& file, QString& err)>& operation) {
  const int32_t address = GetFlashAddress();
  if (address < 0) return;
  QFile file(LabeledEditFileName->text());
  if (!file.open(QIODevice::ReadOnly)) {
    ReportError(QStringLiteral("Cannot open file \"%1\": %2").arg(file.fileName(), file.errorString()));
    return;
  }
  TPanelOperation running(*this);
  QString err;
  const bool ok = operation(static_cast<uint32_t>(address), file, err);
  LogResult(verb, 184, ok, err);
}

// The range starts at the flash address and is as long as the file.
void TMainForm::BitBtnEraseClick() {
  RunOnPanelFile(187, [this](uint32_t begin, QFile& file, QString& err) {
    return fKavelo->EraseFlash(begin, begin + static_cast<uint32_t>(file.size()), err);
  });
}

void TMainForm::BitBtnWriteClick() {
  RunOnPanelFile(189, [this](uint32_t begin, QFile& file, QString& err) {
    return fKavelo->WriteFlash(begin, begin + static_cast<uint32_t>(file.size()), kPanelTransferSize, file, err);
  });
}

void TMainForm::BitBtnVerifyClick() {
  RunOnPanelFile(190, [this](uint32_t begin, QFile& file, QString& err) {
    return fKavelo->VerifyFlash(begin, begin + static_cast<uint32_t>(file.size()), kPanelTransferSize, file, err);
  });
}

void TMainForm::BitBtnHMUpdateClick() {
  TPanelOperation operation(*this);
  QString err;
  if (fKavelo->HMUpdateInit(err))
    AppendLog(LocalizedText(186) + " " + LocalizedText(180) + " " + LocalizedText(193) + ": " + err);
  else
    LogResult(186, 180, false, err);
}

void TMainForm::BitBtnRestartClick() { fKavelo->Restart(); }

void TMainForm::BitBtnReadControlBlockClick() {
  TPanelOperation operation(*this);
  QString err;
  const bool ok = fKavelo->ReadControlBlock(0, fControlBlock, err);
  LogResult(188, 181, ok, err);
  if (!ok) return;
  UpdateControlStates(fKavelo->Connected());
  const uint32_t values[] = {fControlBlock.NewFirmwareHM,  fControlBlock.OldFirmwareHM,
                             fControlBlock.NewFirmwareRM,  fControlBlock.OldFirmwareRM,
                             fControlBlock.NewHMResources, fControlBlock.OldHMResources,
                             fControlBlock.ResourceAddress};
  const auto fields = ControlBlockFields();
  for (size_t i = 0; i < fields.size(); ++i) {
    fields[i]->setEditText(ControlBlockValueText(values[i]));
    fields[i]->setEnabled(true);
  }
}

void TMainForm::BitBtnWriteControlBlockClick() {
  const auto fields = ControlBlockFields();
  uint32_t values[7] = {};
  for (size_t i = 0; i < fields.size(); ++i) {
    int32_t v = 0;
    if (!ParsePanelNumber(fields[i]->currentText(), v)) {
      AppendLog(LocalizedText(198));
      return;
    }
    values[i] = static_cast<uint32_t>(v);
  }
  TPanelOperation operation(*this);
  fControlBlock.Valid0 = kMarkerVUNA;
  fControlBlock.NewFirmwareHM = values[0];
  fControlBlock.OldFirmwareHM = values[1];
  fControlBlock.Valid1 = kMarkerANUV;
  fControlBlock.Valid2 = kMarkerVUNA;
  fControlBlock.NewFirmwareRM = values[2];
  fControlBlock.OldFirmwareRM = values[3];
  fControlBlock.Valid3 = kMarkerANUV;
  fControlBlock.Valid4 = kMarkerVUNA;
  fControlBlock.NewHMResources = values[4];
  fControlBlock.OldHMResources = values[5];
  fControlBlock.ResourceAddress = values[6];
  fControlBlock.Valid5 = kMarkerANUV;
  for (size_t i = 0; i < fields.size(); ++i) fields[i]->setEditText(ControlBlockValueText(values[i]));
  QString err;
  const bool ok = fKavelo->WriteControlBlock(0, fControlBlock, err);
  LogResult(189, 181, ok, err);
}

void TMainForm::BitBtnOpenClick() {
  const QString file = OpenDialog1Execute();
  if (file.isEmpty()) return;
  LabeledEditFileName->setText(file);
  UpdateControlStates(fKavelo->Connected());
}

void TMainForm::ComboBoxExit(QObject* Sender) {
  auto* combo = qobject_cast<QComboBox*>(Sender);
  if (!combo) return;
  const QString text = combo->currentText();
  if (combo->findText(text, Qt::MatchFixedString) < 0) combo->addItem(text); // case-insensitive
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) ComboBoxExit(watched);
  return QMainWindow::eventFilter(watched, event);
}

void TMainForm::WireDevPanel() {
  const auto click = [this](QPushButton* b, void (TMainForm::*handler)()) {
    connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
  };
  click(BitBtnRead, &TMainForm::BitBtnReadClick);
  click(BitBtnErase, &TMainForm::BitBtnEraseClick);
  click(BitBtnWrite, &TMainForm::BitBtnWriteClick);
  click(BitBtnVerify, &TMainForm::BitBtnVerifyClick);
  click(BitBtnHMUpdate, &TMainForm::BitBtnHMUpdateClick);
  click(BitBtnRestart, &TMainForm::BitBtnRestartClick);
  click(BitBtnReadControlBlock, &TMainForm::BitBtnReadControlBlockClick);
  click(BitBtnWriteControlBlock, &TMainForm::BitBtnWriteControlBlockClick);
  click(BitBtnUpdatePFD, &TMainForm::BitBtnUpdatePFDClick);
  click(BitBtnOpen, &TMainForm::BitBtnOpenClick);
  click(BitBtnUpdateHM, &TMainForm::BitBtnUpdateHMClick);
  click(BitBtnUpdateRM, &TMainForm::BitBtnUpdateRMClick);
  click(BitBtnOpenHM, &TMainForm::BitBtnOpenHMClick);
  click(BitBtnOpenRM, &TMainForm::BitBtnOpenRMClick);
  std::vector<QComboBox*> left{ComboBoxAddress, ComboBoxReadLen, ComboBoxHMVersion, ComboBoxRMVersion};
  for (QComboBox* c : ControlBlockFields()) left.push_back(c);
  for (QComboBox* c : left) c->installEventFilter(this);
}

} // namespace kavelo::ui
