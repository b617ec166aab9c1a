#pragma once
// The program's name and version and the versions of the images it installs.

#include <QDialog>

class QLabel;
class QPushButton;

namespace kavelo::ui {

class TAboutDialog : public QDialog {
public:
  explicit TAboutDialog(QWidget* mainWindow);

  QLabel* ImageHeader = nullptr;
  QLabel* ImageIcon = nullptr;
  QLabel* LabelName = nullptr;
  QLabel* LabelVersion = nullptr;
  QLabel* LabelHMFwVersion = nullptr;
  QLabel* LabelRMFwVersion = nullptr;
  QLabel* LabelLangVersion = nullptr;
  QLabel* LabelManufacturer = nullptr;
  QPushButton* BitBtnOk = nullptr;
};

// The program's version text ("V1.09"), build number ("3343") and notice, from the resources.
QString ProgramVersionText();
QString ProgramBuildText();
QString ProgramNoticeText();

// Creates, fills and shows a new about dialog centred on the main window; it closes itself.
TAboutDialog* OpenAboutDialog(QWidget* mainWindow);

} // namespace kavelo::ui
