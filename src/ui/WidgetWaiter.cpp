#include "ui/WidgetWaiter.h"

#include <QApplication>
#include <QMessageBox>

#include <algorithm>

namespace kavelo::ui {

int TWidgetWaiter::ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags) {
  const QMessageBox::Icon icon =
      (Flags & 0xF0) == 0x10 ? QMessageBox::Critical : QMessageBox::Information;
  QMessageBox box(icon, Caption, Text, QMessageBox::NoButton, QApplication::activeWindow());
  // The guidance and about dialogs stay above every window; a box that did not would open
  // beneath them and block the program out of sight.
  const auto windows = QApplication::topLevelWidgets();
  if (std::any_of(windows.begin(), windows.end(), [](const QWidget* w) {
        return w->isVisible() && w->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
      }))
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  const bool yesNo = (Flags & 0x0F) == 0x04;
  if (yesNo) {
    box.addButton(QMessageBox::Yes);
    box.addButton(QMessageBox::No);
  } else {
    box.addButton(QMessageBox::Ok);
  }
  const int pressed = box.exec();
  if (yesNo) return pressed == QMessageBox::Yes ? IDYES : IDNO;
  return IDOK;
}

void ReportError(const QString& text) {
  Waiter().ShowMessageBox(text, QApplication::applicationDisplayName(), MB_ICONERROR_OK);
}

} // namespace kavelo::ui
