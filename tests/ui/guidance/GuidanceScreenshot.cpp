// Opens the guidance in one language over a stand-in main window on a real screen and saves
// the dialog's window as a PNG: the pictures under docs/ come from here.
//   QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x900x24" guidance_screenshot 2000 en.png

#include "net/Helpers.h"
#include "ui/guidance/Guidance.h"

#include <QApplication>
#include <QMainWindow>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <language base> <output.png>\n", argv[0]);
    return 2;
  }
  const int base = QString::fromLocal8Bit(argv[1]).toInt();
  const QString output = QString::fromLocal8Bit(argv[2]);
  kavelo::SetLanguageBase(base);

  QMainWindow main;
  main.setWindowTitle(QStringLiteral("Orvo Kavelo Update Tool"));
  main.setGeometry(360, 330, 565, 255); // room above and below for the taller dialog
  main.show();
  kavelo::ui::TInfoDialog* dialog = kavelo::ui::ShowGuidance(&main);
  if (!dialog) return 1;

  int result = 1;
  // Grab what the X server shows once the window has been mapped and painted.
  QTimer::singleShot(1500, &app, [&] {
    QPixmap shot;
    if (QScreen* screen = dialog->screen()) shot = screen->grabWindow(dialog->winId());
    if (shot.isNull()) shot = dialog->grab();
    result = shot.save(output, "PNG") ? 0 : 1;
    std::printf("%s: %dx%d\n", qPrintable(output), shot.width(), shot.height());
    app.quit();
  });
  app.exec();
  return result;
}
