// The Orvo Kavelo Update Tool.

#include "ui/MainForm.h"
#include "ui/WidgetWaiter.h"

#include <QApplication>

#include <exception>

namespace {

// Errors of the socket layer and of file access end in one box, never in a crash.
class TApplication : public QApplication {
public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      kavelo::ui::ReportError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
      kavelo::ui::ReportError(QStringLiteral("Unexpected error"));
    }
    return false;
  }
};

} // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  TApplication::setApplicationName(QStringLiteral("Orvo Kavelo Update Tool"));
  TApplication::setOrganizationName(QStringLiteral("Orvo_Kavelo"));
  kavelo::SetWaiter(std::make_shared<kavelo::ui::TWidgetWaiter>());
  int result = 0;
  {
    kavelo::ui::TMainForm form;
    form.show();
    result = TApplication::exec();
  }
  kavelo::SetWaiter(nullptr);
  return result;
}
