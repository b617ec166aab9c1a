// The window's start height and smallest size are outer sizes, whatever frame the desktop puts
// around it, also when the frame is known only after the window appeared.

#include "ui/Anchors.h"
#include "ui/FormFixture.h"

namespace kavelo::test {
namespace {

// A window with the frame of a desktop with a real title bar, told only once it is shown.
class TFramedForm : public ui::TMainForm {
public:
  using TMainForm::TMainForm;
  QSize Frame{16, 39};
  bool Known = false;

protected:
  QSize FrameExtent() const override { return Known ? Frame : QSize(0, 0); }
};

class WindowFrameTest : public FormTest {
protected:
  std::unique_ptr<TFramedForm> MakeFramed() {
    ui::TMainFormEnvironment env;
    env.LanguageStore = fStore;
    env.SystemLanguage = QLocale::English;
    env.LinkFactory = fDevice->Factory();
    return std::make_unique<TFramedForm>(env);
  }
};

TEST_F(WindowFrameTest, TheDesignedOuterSizesHoldOnceTheFrameIsKnown) {
  auto form = MakeFramed();
  form->show();
  form->Known = true; // the window manager has put its frame around the window
  form->move(form->pos() + QPoint(1, 1));
  EXPECT_EQ(form->height() + 39, ui::Scaled(255));
  EXPECT_EQ(form->minimumSize(), QSize(ui::Scaled(560) - 16, ui::Scaled(250) - 39));
  // The window can shrink to its design and no further; Close keeps its 8 pixels.
  form->resize(form->minimumSize());
  EXPECT_EQ(form->height() + 39, ui::Scaled(250));
  const QRect close(form->BitBtnClose->mapTo(form.get(), QPoint(0, 0)), form->BitBtnClose->size());
  EXPECT_NEAR(form->height() - close.bottom() - 1, ui::Scaled(8), 1); // design pixels rounded
}

TEST_F(WindowFrameTest, AHeightTheUserChoseIsKeptWhenTheFrameChanges) {
  auto form = MakeFramed();
  form->show();
  form->Known = true;
  form->move(form->pos() + QPoint(1, 1));
  form->resize(form->width(), 400);
  form->Frame = QSize(10, 30); // another theme
  form->move(form->pos() + QPoint(1, 1));
  EXPECT_EQ(form->height(), 400);
  EXPECT_EQ(form->minimumSize(), QSize(ui::Scaled(560) - 10, ui::Scaled(250) - 30));
}

} // namespace
} // namespace kavelo::test
