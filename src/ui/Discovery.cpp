// Search, Connect and Disconnect: which handheld the tool talks to.

#include "handheld/Search.h"
#include "ui/MainForm.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace kavelo::ui {

void TMainForm::BitBtnSearchClick() {
  TOperation operation(*this);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  BitBtnSearch->setEnabled(false);
  BitBtnConnect->setEnabled(false);
  const TSearchResult result =
      SearchHandhelds(*fKavelo, LabeledEditIPAddress->text(), static_cast<uint16_t>(GetPort()),
                      [this](const QString& line) {
                        AppendLog(line);
                        MemoLog->repaint(); // seen before the waits that follow
                      });
  const QString Found = result.Found.isEmpty() ? QString() : result.Found.first();
  BitBtnSearch->setEnabled(true);
  BitBtnConnect->setEnabled(true);
  QApplication::restoreOverrideCursor();
  if (!Found.isEmpty()) {
    LabeledEditIPAddress->setText(Found);
    LabeledEditIPAddress->repaint();
  }
  ShowSearchResult(Found);
}

void TMainForm::BitBtnConnectClick() {
  const QString IpText = LabeledEditIPAddress->text();
  const uint16_t Port = static_cast<uint16_t>(GetPort());
  if (!fKavelo->Connect(IpText, Port)) return;
  UpdateControlStates(true);
  fLabelStatus->clear();
  ProgressBar1->setValue(0);
  ProgressBar1->repaint();
  AppendLog(ConnectLogLine(IpText, Port));
}

void TMainForm::BitBtnDisconnectClick() {
  fKavelo->Disconnect();
  UpdateControlStates(false);
  fLabelStatus->clear();
  ProgressBar1->setValue(0);
  ProgressBar1->repaint();
  const auto fields = ControlBlockFields();
  for (QComboBox* field : fields) field->setEditText(QString());
  for (QComboBox* field : fields) field->setEnabled(false);
}

} // namespace kavelo::ui
