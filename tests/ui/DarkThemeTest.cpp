// The status line over the progress bar stays readable under a dark desktop theme.

#include "common/DarkPalette.h"
#include "ui/FormFixture.h"

#include <QApplication>
#include <QImage>
#include <QPalette>

#include <cmath>

namespace kavelo::test {
namespace {

double Luminance(QColor c) {
  auto channel = [](double v) {
    v /= 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

// The contrast ratio of two colours, 1 (none) to 21 (black on white).
double Contrast(QColor a, QColor b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class DarkThemeTest : public FormTest {
protected:
  DarkThemeTest() { QApplication::setPalette(DarkPalette()); }
  ~DarkThemeTest() override { QApplication::setPalette(QApplication::style()->standardPalette()); }

  // Over the columns [from, to) of the bar: the best contrast of any pixel of the text rows
  // against the bar's own colour in the same column, just inside its border.
  static double TextContrast(const QImage& bar, int from, int to) {
    double best = 1;
    for (int x = from; x < to; ++x) {
      const QColor background = bar.pixelColor(x, 1);
      for (int y = 3; y < bar.height() - 2; ++y) best = std::max(best, Contrast(bar.pixelColor(x, y), background));
    }
    return best;
  }
};

TEST_F(DarkThemeTest, TheStatusLineReadsOnTheBarAndOnItsFilledPart) {
  auto& form = Make();
  form.show();
  form.fLabelStatus->setText(QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW"));
  form.ProgressBar1->setValue(50);
  const QImage bar = form.ProgressBar1->grab().toImage();
  const int w = bar.width();
  // The text runs across the filled half and the empty half; each must be readable.
  EXPECT_GE(TextContrast(bar, w / 4, w / 2 - 4), 4.5);
  EXPECT_GE(TextContrast(bar, w / 2 + 4, 3 * w / 4), 4.5);
}

} // namespace
} // namespace kavelo::test
