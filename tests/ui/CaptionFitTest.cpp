// Every caption of the window fits its control, in every language, measured with the font the
// window uses; the update buttons grow with their captions and keep their place.

#include "ui/Anchors.h"
#include "ui/FormFixture.h"

#include <QStyle>
#include <QStyleOptionButton>

namespace kavelo::test {
namespace {

// The caption as drawn: the accelerator's "&" is not shown, "&&" shows one.
QString Shown(QString caption) {
  caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  caption.remove(u'&');
  caption.replace(u'\x01', u'&');
  return caption;
}

// Room a button's frame and margins take from its width in the style in use.
int ButtonChrome(const QPushButton* button) {
  const QStyle* style = button->style();
  return 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) / 2 +
              style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
}

struct TMisfit {
  std::string Control;
  std::string Caption;
  int Needed;
  int Width;
};

void PrintTo(const TMisfit& m, std::ostream* os) {
  *os << m.Control << " \"" << m.Caption << "\" needs " << m.Needed << " px, has " << m.Width;
}

std::vector<TMisfit> Misfits(ui::TMainForm& form) {
  std::vector<TMisfit> out;
  auto check = [&](const QWidget* w, const QString& caption, int needed, int width) {
    if (needed > width) out.push_back({w->objectName().toStdString(), caption.toStdString(), needed, width});
  };
  for (const QPushButton* b : form.findChildren<QPushButton*>()) {
    if (!b->isVisibleTo(&form) || b->text().isEmpty()) continue;
    check(b, b->text(), b->fontMetrics().horizontalAdvance(Shown(b->text())) + ButtonChrome(b), b->width());
  }
  for (const QLabel* l : form.findChildren<QLabel*>()) {
    if (!l->isVisibleTo(&form) || l->text().isEmpty() || l == form.fLabelStatus) continue;
    check(l, l->text(), l->fontMetrics().horizontalAdvance(Shown(l->text())), l->contentsRect().width());
  }
  for (const QGroupBox* g : form.findChildren<QGroupBox*>()) {
    if (!g->isVisibleTo(&form) || g->title().isEmpty()) continue;
    // The title sits inside the frame with some room on either side.
    check(g, g->title(), g->fontMetrics().horizontalAdvance(Shown(g->title())) + 16, g->width());
  }
  return out;
}

class CaptionFit : public FormTest, public ::testing::WithParamInterface<int> {};

TEST_P(CaptionFit, EveryCaptionFitsItsControl) {
  auto& form = Make();
  form.resize(form.minimumSize()); // the narrowest the window gets
  form.show();
  const int base = GetParam();
  form.LanguageItems[static_cast<size_t>(base / 1000 - 1)]->trigger();
  ASSERT_EQ(form.Language(), base);
  EXPECT_THAT(Misfits(form), ::testing::IsEmpty());
  // Both update buttons keep their place and share one width, never below the design's.
  EXPECT_EQ(form.BitBtnUpdateHM->pos(), QPoint(ui::Scaled(8), ui::Scaled(20)));
  EXPECT_EQ(form.BitBtnUpdateRM->pos(), QPoint(ui::Scaled(8), ui::Scaled(51)));
  EXPECT_EQ(form.BitBtnUpdateHM->width(), form.BitBtnUpdateRM->width());
  EXPECT_GE(form.BitBtnUpdateHM->width(), ui::Scaled(128));
  // They end before the version labels begin.
  EXPECT_LT(form.BitBtnUpdateHM->geometry().right(), form.LabelHMFirmware->x());
}

TEST_F(FormTest, TheUpdateButtonsFollowTheLanguageBackAndForth) {
  auto& form = Make();
  form.show();
  form.LanguageItems[1]->trigger(); // English
  const int english = form.BitBtnUpdateRM->width();
  form.LanguageItems[2]->trigger(); // French: "Mettre à jour le module radio"
  const int french = form.BitBtnUpdateRM->width();
  EXPECT_GT(french, english);
  form.resize(form.width() + 100, form.height()); // anchors re-place the controls
  EXPECT_EQ(form.BitBtnUpdateRM->width(), french);
  form.LanguageItems[1]->trigger();
  EXPECT_EQ(form.BitBtnUpdateRM->width(), english);
}

INSTANTIATE_TEST_SUITE_P(SevenLanguages, CaptionFit, ::testing::Values(1000, 2000, 3000, 4000, 5000, 6000, 7000));

} // namespace
} // namespace kavelo::test
