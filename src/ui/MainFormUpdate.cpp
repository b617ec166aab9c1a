// The window as the update sequences see it, and the buttons that start them.

#include "handheld/Waiting.h"
#include "ui/MainForm.h"
#include "ui/WidgetWaiter.h"
#include "update/NumberSyntax.h"
#include "update/Sequences.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>

namespace kavelo::ui {

void TMainForm::SetStatusText(const QString& text) {
  fLabelStatus->setText(text);
  fLabelStatus->repaint();
}

void TMainForm::SetSequenceButtonsEnabled(bool enabled) {
  BitBtnUpdateHM->setEnabled(enabled);
  BitBtnUpdateRM->setEnabled(enabled);
  BitBtnDisconnect->setEnabled(enabled);
  BitBtnClose->setEnabled(enabled);
}

bool TMainForm::StepMode(TFirmwareRow row) {
  return (row == TFirmwareRow::Handheld ? CheckBoxStepHM : CheckBoxStepRM)->isChecked();
}

QString TMainForm::FirmwareLabel(TFirmwareRow row) {
  return (row == TFirmwareRow::Handheld ? LabelHMFirmware : LabelRMFirmware)->text();
}

QString TMainForm::VersionText(TFirmwareRow row) {
  return (row == TFirmwareRow::Handheld ? ComboBoxHMVersion : ComboBoxRMVersion)->currentText();
}

void TMainForm::ShowControlBlockField(int index, uint32_t value) {
  const auto fields = ControlBlockFields();
  if (index >= 0 && index < static_cast<int>(fields.size()))
    fields[static_cast<size_t>(index)]->setEditText(ControlBlockValueText(value));
}

void TMainForm::ReportError(const QString& text) { ui::ReportError(text); }

void TMainForm::BitBtnUpdateHMClick() {
  TOperation operation(*this);
  RunHandheldUpdate(*this);
}

void TMainForm::BitBtnUpdateRMClick() {
  TOperation operation(*this);
  RunRadioModuleUpdate(*this);
}

void TMainForm::BitBtnUpdatePFDClick() {
  TPanelOperation operation(*this);
  RunPersistentDataUpdate(*this);
}

void ConfigureOpenDialog1(QFileDialog& dialog) {
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, true);
#ifdef Q_OS_WIN
  dialog.setNameFilters({QStringLiteral("Resourcen (*.res)"), QString::fromUtf8("Binäre Dateien (*.bin)"),
                         QStringLiteral("Alle Dateien (*.*)")});
  dialog.selectNameFilter(QString::fromUtf8("Binäre Dateien (*.bin)"));
#else
  // "*.*" matches only names with a dot here, and firmware files often have none. Each entry
  // shows its text and filters by the patterns added after it.
  dialog.setOption(QFileDialog::HideNameFilterDetails, true);
  dialog.setNameFilters({QStringLiteral("Resourcen (*.res) (*.res)"),
                         QString::fromUtf8("Binäre Dateien (*.bin) (*.bin)"),
                         QStringLiteral("Alle Dateien (*.*) (*)")});
  dialog.selectNameFilter(QString::fromUtf8("Binäre Dateien (*.bin) (*.bin)"));
#endif
}

QString TMainForm::OpenDialog1Execute() {
  if (fEnvironment.OpenFile) return fEnvironment.OpenFile(this);
  QFileDialog dialog(this);
  ConfigureOpenDialog1(dialog);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

void TMainForm::OpenFirmwareFile(QLabel* label, QPushButton* button) {
  const QString file = OpenDialog1Execute();
  if (file.isEmpty()) return;
  label->setText(file);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  UpdateControlStates(fKavelo->Connected());
  button->setEnabled(true);
}

void TMainForm::BitBtnOpenHMClick() { OpenFirmwareFile(LabelHMFirmware, BitBtnUpdateHM); }

void TMainForm::BitBtnOpenRMClick() { OpenFirmwareFile(LabelRMFirmware, BitBtnUpdateRM); }

} // namespace kavelo::ui
