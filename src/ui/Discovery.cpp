// Search, Connect and Disconnect: which handheld the tool talks to.

#include "handheld/Waiting.h"
#include "net/Helpers.h"
#include "ui/MainForm.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace kavelo::ui {

namespace {
constexpr uint32_t kAfterUpdateRequestMs = 500;
constexpr uint32_t kAfterAnnounceMs = 500;
constexpr uint32_t kBetweenRestartsMs = 100;
constexpr uint32_t kAfterRestartsMs = 6000;
} // namespace

void TMainForm::BitBtnSearchClick() {
  TOperation operation(*this);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QString Found;
  BitBtnSearch->setEnabled(false);
  BitBtnConnect->setEnabled(false);
  QString IpText = LabeledEditIPAddress->text();
  if (LocalIPInSubnet(StrToIP(IpText, InvalidIP)) == InvalidIP) {
    IpText = IPToStr(FirstLocalIP());
    AppendLog(QStringLiteral("LocalIP leer, versuche Adapter ") + IpText);
    MemoLog->repaint();
  }
  if (fKavelo->Search(IpText, GetPort())) {
    QString ignored;
    fKavelo->HMUpdateInit(ignored); // waits for the first reply while announcements arrive
    Delay(kAfterUpdateRequestMs);
    QStringList List = fKavelo->PeerIPs();
    std::sort(List.begin(), List.end()); // text order: 192.168.0.10 before 192.168.0.9
    for (const QString& address : List) AppendLog(LocalizedText(196) + " Peer IP " + address);
    if (!List.isEmpty()) Found = List.first();
    const uint8_t announce[] = {0x05, 0x00, 0x10, 0x00, 0x12};
    fKavelo->Transmit(announce, sizeof announce);
    Delay(kAfterAnnounceMs);
    for (const QString& address : List) {
      fKavelo->Restart(address);
      AppendLog(LocalizedText(192) + " Peer IP " + address);
      Delay(kBetweenRestartsMs);
    }
    if (!List.isEmpty()) Delay(kAfterRestartsMs);
    fKavelo->Disconnect();
  }
  BitBtnSearch->setEnabled(true);
  BitBtnConnect->setEnabled(true);
  QApplication::restoreOverrideCursor();
  if (!Found.isEmpty()) {
    LabeledEditIPAddress->setText(Found);
    LabeledEditIPAddress->repaint();
    ShowMessageBox(LocalizedText(168) + Found + LocalizedText(169), LocalizedText(167),
                   MB_ICONINFORMATION_OK);
  } else {
    ShowMessageBox(LocalizedText(170), LocalizedText(167), MB_ICONINFORMATION_OK);
  }
}

void TMainForm::BitBtnConnectClick() {
  const QString IpText = LabeledEditIPAddress->text();
  const uint16_t Port = static_cast<uint16_t>(GetPort());
  if (!fKavelo->Connect(IpText, Port)) return;
  UpdateControlStates(true);
  fLabelStatus->clear();
  ProgressBar1->setValue(0);
  ProgressBar1->repaint();
  AppendLog(LocalizedText(197) + " " + IpText + " Port " + QString::number(Port));
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
