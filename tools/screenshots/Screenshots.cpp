// Takes the README's screenshots of the real windows on the display (run under Xvfb):
// kavelo-screenshots <output folder>.

#include "common/DarkPalette.h"
#include "ui/AboutDialog.h"
#include "ui/MainForm.h"
#include "ui/WidgetWaiter.h"
#include "update/SequenceSupport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>
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

QImage Shot(QWidget* w) {
  Settle(400);
  const QRect r = w->frameGeometry();
  return QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
}

std::unique_ptr<kavelo::ui::TMainForm> OpenWindow(int base) {
  kavelo::ui::TMainFormEnvironment env;
  env.LanguageStore = std::make_shared<TFixedStore>(base);
  auto form = std::make_unique<kavelo::ui::TMainForm>(env);
  form->move(40, 40);
  form->show();
  return form;
}

// The window in every language, two to a row, each with its language's name above it.
QImage LanguageGrid() {
  std::vector<std::pair<QString, QImage>> shots;
  for (const auto& language : kavelo::ui::kLanguages) {
    auto form = OpenWindow(language.Base);
    shots.emplace_back(QString::fromLatin1(language.MenuText).remove(u'&'), Shot(form.get()));
  }
  const QSize cell = shots.front().second.size();
  constexpr int kGap = 12, kCaption = 22, kColumns = 2;
  const int rows = static_cast<int>((shots.size() + kColumns - 1) / kColumns);
  QImage grid(kColumns * cell.width() + (kColumns + 1) * kGap, rows * (cell.height() + kCaption + kGap) + kGap,
              QImage::Format_RGB32);
  grid.fill(Qt::white);
  QPainter painter(&grid);
  QFont font = painter.font();
  font.setPixelSize(14);
  font.setBold(true);
  painter.setFont(font);
  for (size_t i = 0; i < shots.size(); ++i) {
    const int x = kGap + static_cast<int>(i % kColumns) * (cell.width() + kGap);
    const int y = kGap + static_cast<int>(i / kColumns) * (cell.height() + kCaption + kGap);
    painter.drawText(QRect(x, y, cell.width(), kCaption), Qt::AlignLeft | Qt::AlignVCenter, shots[i].first);
    painter.drawImage(QPoint(x, y + kCaption), shots[i].second);
  }
  return grid;
}

// The version question as the sequence asks it, in French with Qt's French buttons.
QImage FrenchVersionQuestion() {
  auto form = OpenWindow(3000);
  form->activateWindow();
  QImage shot;
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      box->move(form->pos() + QPoint(60, 40));
      shot = Shot(box);
      box->done(QMessageBox::No);
    }
  });
  kavelo::AskVersionQuestion(173);
  return shot;
}

// The window under a dark theme, halfway through writing the firmware.
QImage DarkWindow() {
  const QPalette previous = QApplication::palette();
  QApplication::setPalette(kavelo::test::DarkPalette());
  auto form = OpenWindow(2000);
  form->ProgressBar1->setValue(46);
  form->fLabelStatus->setText(QStringLiteral("Writing firmware..."));
  const QImage shot = Shot(form.get());
  form.reset();
  QApplication::setPalette(previous);
  return shot;
}

} // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
    return 2;
  }
  kavelo::SetWaiter(std::make_shared<kavelo::ui::TWidgetWaiter>());
  const QDir out(QString::fromLocal8Bit(argv[1]));
  bool ok = true;
  for (const auto& [base, name] : {std::pair{2000, "main-window-en.png"}, std::pair{1000, "main-window-de.png"}}) {
    auto form = OpenWindow(base);
    ok = Shot(form.get()).save(out.filePath(QString::fromLatin1(name))) && ok;
    if (base == 2000) {
      auto* about = kavelo::ui::OpenAboutDialog(form.get());
      ok = Shot(about).save(out.filePath(QStringLiteral("about-dialog.png"))) && ok;
      about->close();
    }
  }
  ok = LanguageGrid().save(out.filePath(QStringLiteral("main-window-languages.png"))) && ok;
  ok = FrenchVersionQuestion().save(out.filePath(QStringLiteral("message-box-fr.png"))) && ok;
  ok = DarkWindow().save(out.filePath(QStringLiteral("main-window-dark.png"))) && ok;
  kavelo::SetWaiter(nullptr);
  return ok ? 0 : 1;
}
