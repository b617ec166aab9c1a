// Takes the README's screenshots of the real windows on the display (run under Xvfb):
// kavelo-screenshots <output folder>.

#include "ui/AboutDialog.h"
#include "ui/MainForm.h"

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

class TFixedStore : public kavelo::ui::ILanguageStore {
public:
  explicit TFixedStore(int base) : fBase(base) {}
  std::optional<int> Read() override { return fBase; }
  void Write(int) override {}

private:
  int fBase;
};

void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Grab(QWidget* w, const QString& file) {
  Settle(400);
  const QRect r = w->frameGeometry();
  return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).save(file);
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  bool ok = true;
  for (const auto& [base, name] : {std::pair{2000, "main-window-en.png"}, std::pair{1000, "main-window-de.png"}}) {
    kavelo::ui::TMainFormEnvironment env;
    env.LanguageStore = std::make_shared<TFixedStore>(base);
    kavelo::ui::TMainForm form(env);
    form.move(40, 40);
    form.show();
    ok = Grab(&form, out.filePath(QString::fromLatin1(name))) && ok;
    if (base == 2000) {
      auto* about = kavelo::ui::OpenAboutDialog(&form);
      ok = Grab(about, out.filePath(QStringLiteral("about-dialog.png"))) && ok;
      about->close();
    }
  }
  return ok ? 0 : 1;
}
