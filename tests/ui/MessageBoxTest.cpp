// The real message boxes of the update sequences: their buttons speak the window's language,
// also after a change at run time, and a box opens above the top-most guidance dialog.

#include "ui/SimFormFixture.h"
#include "ui/WidgetWaiter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace kavelo::test {
namespace {

// Real event-loop waits without the settle delays, and real message boxes: each is looked at
// once it is up and then answered with the button of the given role.
class TRealBoxWaiter : public ui::TWidgetWaiter {
public:
  void Delay(uint32_t Milliseconds) override { fFast.Delay(Milliseconds); }
  int ShowMessageBox(const QString& Text, const QString& Caption, uint32_t Flags) override {
    QTimer::singleShot(0, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      TSeen seen{box->text(), {}, box->windowFlags().testFlag(Qt::WindowStaysOnTopHint)};
      QAbstractButton* answer = nullptr;
      for (QAbstractButton* b : box->buttons()) {
        seen.Buttons << b->text().remove(u'&');
        const auto role = box->buttonRole(b);
        if (role == (AnswerYes ? QMessageBox::YesRole : QMessageBox::NoRole) || role == QMessageBox::AcceptRole)
          answer = b;
      }
      Seen.push_back(seen);
      if (answer) answer->click();
    });
    return TWidgetWaiter::ShowMessageBox(Text, Caption, Flags);
  }
  struct TSeen {
    QString Text;
    QStringList Buttons;
    bool OnTop;
  };
  std::vector<TSeen> Seen;
  bool AnswerYes = false;

private:
  TFastSettleWaiter fFast;
};

class MessageBoxTest : public SimFormTest {
protected:
  void SetUp() override {
    SimFormTest::SetUp();
    SetWaiter(fBoxes);
    fForm->show();
  }
  void TearDown() override {
    SetWaiter(fWaiter); // the fixture's own scope restores the rest
    SimFormTest::TearDown();
  }
  void Choose(int base) { fForm->LanguageItems[static_cast<size_t>(base / 1000 - 1)]->trigger(); }
  std::shared_ptr<TRealBoxWaiter> fBoxes = std::make_shared<TRealBoxWaiter>();
};

struct ButtonCase {
  const char* Name;
  int Base;
  const char* Yes;
  const char* No;
};

class VersionQuestionButtons : public MessageBoxTest, public ::testing::WithParamInterface<ButtonCase> {};

TEST_P(VersionQuestionButtons, SpeakTheLanguageChosenAtRunTime) {
  fSim->PresetInstalledVersions(0x109, 0x105, 0x112); // the same version: the tool asks
  Choose(GetParam().Base);
  fForm->BitBtnUpdateHMClick();
  ASSERT_TRUE(AwaitReceived({0x04, 0x00, 0x31, 0x00})); // No: the handheld is only restarted
  ASSERT_EQ(fBoxes->Seen.size(), 1u);
  EXPECT_THAT(fBoxes->Seen[0].Buttons,
              ::testing::UnorderedElementsAre(QString::fromUtf8(GetParam().Yes), QString::fromUtf8(GetParam().No)));
  EXPECT_EQ(fSim->Installs().hm, 0u);
}

INSTANTIATE_TEST_SUITE_P(Languages, VersionQuestionButtons,
                         ::testing::Values(ButtonCase{"German", 1000, "Ja", "Nein"},
                                           ButtonCase{"Czech", 6000, "Ano", "Ne"},
                                           ButtonCase{"French", 3000, "Oui", "Non"},
                                           ButtonCase{"English", 2000, "Yes", "No"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(MessageBoxTest, BackToEnglishTheButtonsAreEnglishAgain) {
  Choose(1000);
  Choose(2000);
  fSim->PresetInstalledVersions(0x109, 0x105, 0x112);
  fForm->BitBtnUpdateHMClick();
  ASSERT_TRUE(AwaitReceived({0x04, 0x00, 0x31, 0x00}));
  ASSERT_EQ(fBoxes->Seen.size(), 1u);
  EXPECT_THAT(fBoxes->Seen[0].Buttons, ::testing::UnorderedElementsAre("Yes", "No"));
}

TEST_F(MessageBoxTest, ABoxOpenedWhileTheGuidanceIsOpenStaysAboveIt) {
  fForm->MenuGuidanceClick();
  fSim->PresetInstalledVersions(0x109, 0x105, 0x112);
  fForm->BitBtnUpdateHMClick();
  ASSERT_TRUE(AwaitReceived({0x04, 0x00, 0x31, 0x00}));
  ASSERT_EQ(fBoxes->Seen.size(), 1u);
  EXPECT_TRUE(fBoxes->Seen[0].OnTop);
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != fForm.get() && w->isVisible()) w->close();
}

TEST_F(MessageBoxTest, WithoutATopMostDialogTheBoxIsAnOrdinaryWindow) {
  fSim->PresetInstalledVersions(0x109, 0x105, 0x112);
  fForm->BitBtnUpdateHMClick();
  ASSERT_TRUE(AwaitReceived({0x04, 0x00, 0x31, 0x00}));
  ASSERT_EQ(fBoxes->Seen.size(), 1u);
  EXPECT_FALSE(fBoxes->Seen[0].OnTop);
}

} // namespace
} // namespace kavelo::test
