#pragma once
// The tool's only permanent window: the connection row, the firmware update group with its
// status line over the progress bar, the Close button, the menu and the hidden developer panel.

#include "handheld/Kavelo.h"
#include "ui/Localization.h"
#include "update/UpdateView.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QFile;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kavelo::ui {

class TAnchors;

// What the window takes from its surroundings; tests pose their own.
struct TMainFormEnvironment {
  std::shared_ptr<ILanguageStore> LanguageStore;           // QSettings when empty
  QLocale::Language SystemLanguage = QLocale::AnyLanguage; // QLocale::system() when AnyLanguage
  TKaveloLinkFactory LinkFactory;                          // the UDP endpoint when empty
  // The file-open dialog: returns the chosen file's full name, or empty when cancelled.
  std::function<QString(QWidget* parent)> OpenFile;
};

// The filters and options of the window's file-open dialog.
void ConfigureOpenDialog1(QFileDialog& dialog);

class TMainForm : public QMainWindow, public IUpdateView {
public:
  explicit TMainForm(TMainFormEnvironment environment = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  int Language() const;
  void SetLanguage(int base);
  void ApplyLanguage();
  void UpdateControlStates(bool Connected) override;
  static int GetPort() { return 21105; }
  // The bar's percentage for a progress report: halves round to the even neighbour.
  static int ProgressPercent(int32_t Max, int32_t Position);

  // As an update sequence sees the window.
  TKavelo& Kavelo() override { return *fKavelo; }
  TControlBlock& ControlBlock() override { return fControlBlock; }
  void AppendLog(const QString& line) override;
  void SetStatusText(const QString& text) override;
  void SetSequenceButtonsEnabled(bool enabled) override;
  bool StepMode(TFirmwareRow row) override;
  QString FirmwareLabel(TFirmwareRow row) override;
  QString VersionText(TFirmwareRow row) override;
  void ShowControlBlockField(int index, uint32_t value) override;
  void ReportError(const QString& text) override;

  // Click handlers.
  void BitBtnSearchClick();
  void BitBtnConnectClick();
  void BitBtnDisconnectClick();
  void BitBtnGuidanceClick();
  void MenuGuidanceClick();
  void MenuAboutClick();
  void LanguageClick(int base);
  void BitBtnUpdateHMClick();
  void BitBtnUpdateRMClick();
  void BitBtnUpdatePFDClick();
  void BitBtnOpenHMClick();
  void BitBtnOpenRMClick();
  // The developer panel.
  int32_t GetFlashAddress();
  void BitBtnReadClick();
  void BitBtnEraseClick();
  void BitBtnWriteClick();
  void BitBtnVerifyClick();
  void BitBtnHMUpdateClick();
  void BitBtnRestartClick();
  void BitBtnReadControlBlockClick();
  void BitBtnWriteControlBlockClick();
  void BitBtnOpenClick();
  void ComboBoxExit(QObject* Sender);
  // Runs the shared file-open dialog; empty when cancelled.
  QString OpenDialog1Execute();

  // Controls, named as in the design.
  QLineEdit* LabeledEditIPAddress = nullptr;
  QLabel* LabeledEditIPAddressLabel = nullptr;
  QPushButton* BitBtnSearch = nullptr;
  QPushButton* BitBtnConnect = nullptr;
  QPushButton* BitBtnDisconnect = nullptr;
  QPushButton* BitBtnGuidance = nullptr;
  QGroupBox* GroupBoxFWUpdate = nullptr;
  QPushButton* BitBtnUpdateHM = nullptr;
  QLabel* LabelHMFirmware = nullptr;
  QPushButton* BitBtnUpdateRM = nullptr;
  QLabel* LabelRMFirmware = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QLabel* fLabelStatus = nullptr;
  QPushButton* BitBtnClose = nullptr;
  QCheckBox* CheckBoxStepHM = nullptr;
  QCheckBox* CheckBoxStepRM = nullptr;
  QPushButton* BitBtnOpenHM = nullptr;
  QPushButton* BitBtnOpenRM = nullptr;
  QComboBox* ComboBoxHMVersion = nullptr;
  QComboBox* ComboBoxRMVersion = nullptr;
  QLabel* LabelNewVersion = nullptr;

  QGroupBox* GroupBoxDevTest = nullptr;
  QPushButton* BitBtnHMUpdate = nullptr;
  QPushButton* BitBtnRestart = nullptr;
  QPushButton* BitBtnUpdatePFD = nullptr;
  QLabel* LabelPFDFirmware = nullptr;
  QComboBox* ComboBoxAddress = nullptr;
  QComboBox* ComboBoxReadLen = nullptr;
  QPushButton* BitBtnRead = nullptr;
  QPushButton* BitBtnErase = nullptr;
  QPushButton* BitBtnWrite = nullptr;
  QPushButton* BitBtnVerify = nullptr;
  QLineEdit* LabeledEditFileName = nullptr;
  QPushButton* BitBtnOpen = nullptr;
  QPushButton* BitBtnReadControlBlock = nullptr;
  QPushButton* BitBtnWriteControlBlock = nullptr;
  QComboBox* ComboBoxNewFirmwareHM = nullptr;
  QComboBox* ComboBoxOldFirmwareHM = nullptr;
  QComboBox* ComboBoxNewFirmwareRM = nullptr;
  QComboBox* ComboBoxOldFirmwareRM = nullptr;
  QComboBox* ComboBoxNewHMResources = nullptr;
  QComboBox* ComboBoxOldHMResources = nullptr;
  QComboBox* ComboBoxResourceAddress = nullptr;
  QCheckBox* CheckBoxLogRX = nullptr;
  QPushButton* BitBtnClearLog = nullptr;
  QPlainTextEdit* MemoLog = nullptr;

  QMenu* MenuFile = nullptr;
  QAction* MenuExit = nullptr;
  QMenu* MenuLanguage = nullptr;
  QActionGroup* LanguageGroup = nullptr;
  std::array<QAction*, 7> LanguageItems{};
  QMenu* MenuHelp = nullptr;
  QAction* MenuGuidance = nullptr;
  QAction* MenuAbout = nullptr;

  // The seven control block fields in their order.
  std::array<QComboBox*, 7> ControlBlockFields() const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  // What the window manager's frame adds to the window's size (nothing until it is known).
  virtual QSize FrameExtent() const;

  // Marks a long operation; a close asked for meanwhile waits until the last one ends.
  class TOperation {
  public:
    explicit TOperation(TMainForm& form);
    ~TOperation();
    TOperation(const TOperation&) = delete;
    TOperation& operator=(const TOperation&) = delete;

  private:
    TMainForm& fForm;
  };

private:
  // A panel operation: its buttons and Search, Connect and Disconnect are disabled meanwhile,
  // so that nothing takes the link away under it.
  class TPanelOperation {
  public:
    explicit TPanelOperation(TMainForm& form);
    ~TPanelOperation();
    TPanelOperation(const TPanelOperation&) = delete;
    TPanelOperation& operator=(const TPanelOperation&) = delete;

  private:
    TMainForm& fForm;
    TOperation fOperation;
  };
  void LogResult(int verb, int object, bool ok, const QString& err);
  // Erase, Write and Verify: the file named in the panel, from the panel's flash address.
  void
  RunOnPanelFile(int verb,
                 const std::function<bool(uint32_t begin, QFile& file, QString& err)>& operation);
  void OpenFirmwareFile(QLabel* label, QPushButton* button);
  void WireDevPanel();
  void BuildControls();
  void BuildMenu();
  void BuildDevPanel();
  void FitUpdateButtons();
  void ApplyOuterSizes();
  void ShowHMVersion();
  void ShowRMVersion();
  void ShowPFDVersion();
  // The RX trace of a frame the connection refused: another host's, or a late reply.
  void HandheldFrameIgnored(IKaveloLink* Sender, uint16_t Header, const uint8_t* ReceiveBuffer,
                            uint16_t ReceiveBufferSize, TIgnoredReply Reason);
  void TraceRX(const QString& prefix, uint16_t Header, const uint8_t* ReceiveBuffer,
               uint16_t ReceiveBufferSize);
  void HandheldDataReceived(IKaveloLink* Sender, uint16_t Header, const uint8_t* ReceiveBuffer,
                            uint16_t ReceiveBufferSize);
  void HandheldProgress(const void* Sender, int32_t Max, int32_t Position);

  TMainFormEnvironment fEnvironment;
  std::unique_ptr<TKavelo> fKavelo;
  TControlBlock fControlBlock{};
  QWidget* fClient = nullptr;
  TAnchors* fAnchors = nullptr;
  TAnchors* fGroupAnchors = nullptr;
  TAnchors* fPanelAnchors = nullptr;
  int fOperations = 0;
  bool fCloseRequested = false;
  bool fShownOnce = false;
  bool fOuterSizesApplied = false;
  QSize fAppliedFrame;
  int fDesignInnerHeight = 0;
};

} // namespace kavelo::ui
