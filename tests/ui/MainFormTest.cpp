// The main window: control states, relabelling, start-up language, geometry, RX lines, progress.

#include "ui/FormFixture.h"

#include "ui/AboutDialog.h"
#include "ui/guidance/InfoDialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMap>
#include <QMenuBar>

#include <map>

namespace kavelo::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;

// The buttons that UpdateControlStates sets, in its order.
std::vector<bool> ButtonStates(ui::TMainForm& f) {
  std::vector<bool> states;
  for (QPushButton* b : {f.BitBtnSearch, f.BitBtnConnect, f.BitBtnDisconnect, f.BitBtnUpdateHM,
                         f.BitBtnUpdateRM, f.BitBtnHMUpdate, f.BitBtnRestart, f.BitBtnErase,
                         f.BitBtnRead, f.BitBtnWrite, f.BitBtnVerify, f.BitBtnUpdatePFD,
                         f.BitBtnReadControlBlock, f.BitBtnWriteControlBlock})
    states.push_back(!b->testAttribute(Qt::WA_ForceDisabled)); // its own flag: the panel is disabled
  return states;
}

struct StateCase {
  const char* Name;
  bool Connect;
  bool ReadBlock;
  const char* FileName;
  bool Argument;
  std::vector<bool> Expected;
};

class ControlStates : public FormTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(ControlStates, FollowTheConnectionTheFileNameAndTheControlBlock) {
  const auto& c = GetParam();
  auto& form = Make();
  AnswerWithFlash();
  if (c.Connect) ConnectTo();
  if (c.ReadBlock) {
    TControlBlock block{};
    QString err;
    ASSERT_TRUE(form.Kavelo().ReadControlBlock(0, block, err));
  }
  form.LabeledEditFileName->setText(QString::fromLatin1(c.FileName));
  form.UpdateControlStates(c.Argument);
  EXPECT_EQ(ButtonStates(form), c.Expected);
}

//                                  Srch Conn Disc UpHM UpRM Upd  Rst  Ers  Read Wrt  Ver  PFD  RdCB WrCB
INSTANTIATE_TEST_SUITE_P(
    Table, ControlStates,
    ::testing::Values(
        StateCase{"NotConnected", false, false, "", false,
                  {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        StateCase{"NotConnectedWithFile", false, false, "image.bin", false,
                  {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        StateCase{"ConnectedWithoutFile", true, false, "", true,
                  {0, 0, 1, 1, 1, 1, 1, 0, 1, 0, 0, 1, 1, 0}},
        StateCase{"ConnectedWithFile", true, false, "image.bin", true,
                  {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}},
        StateCase{"ConnectedWithControlBlock", true, true, "", true,
                  {0, 0, 1, 1, 1, 1, 1, 0, 1, 0, 0, 1, 1, 1}},
        StateCase{"ConnectedWithFileAndControlBlock", true, true, "image.bin", true,
                  {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        StateCase{"DisconnectedStatesWhileHoldingABlock", true, true, "image.bin", false,
                  {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(FormTest, ConstructionLeavesTheFlagsOfUpdateControlStatesFalse) {
  auto& form = Make();
  const auto initial = ButtonStates(form);
  form.UpdateControlStates(false);
  EXPECT_EQ(ButtonStates(form), initial);
  EXPECT_FALSE(form.GroupBoxDevTest->isEnabled());
}

class Relabelling : public FormTest, public ::testing::WithParamInterface<int> {};

TEST_P(Relabelling, ApplyLanguageSetsTheTwentyTwoTextsAndTheVersionLabels) {
  auto& form = Make();
  const int base = GetParam();
  const QString caption = form.windowTitle();
  std::vector<QString> names;
  for (QAction* item : form.LanguageItems) names.push_back(item->text());
  const size_t index = static_cast<size_t>(base / 1000 - 1);
  form.LanguageItems[index]->trigger();
  EXPECT_EQ(form.Language(), base);
  EXPECT_TRUE(form.LanguageItems[index]->isChecked());
  const auto text = [base](int n) { return ResourceText(base + n); };
  EXPECT_EQ(form.BitBtnClose->text(), text(151));
  EXPECT_EQ(form.LabeledEditIPAddressLabel->text(), text(152));
  EXPECT_EQ(form.LabeledEditIPAddress->toolTip(), text(153));
  EXPECT_EQ(form.BitBtnConnect->text(), text(154));
  EXPECT_EQ(form.BitBtnConnect->toolTip(), text(155));
  EXPECT_EQ(form.BitBtnDisconnect->text(), text(156));
  EXPECT_EQ(form.BitBtnDisconnect->toolTip(), text(157));
  EXPECT_EQ(form.BitBtnSearch->text(), text(158));
  EXPECT_EQ(form.BitBtnSearch->toolTip(), text(159));
  EXPECT_EQ(form.GroupBoxFWUpdate->title(), text(160));
  EXPECT_EQ(form.BitBtnUpdateHM->text(), text(161));
  EXPECT_EQ(form.BitBtnUpdateHM->toolTip(), text(162));
  EXPECT_EQ(form.BitBtnUpdateRM->text(), text(163));
  EXPECT_EQ(form.BitBtnUpdateRM->toolTip(), text(164));
  EXPECT_EQ(form.BitBtnGuidance->text(), text(177));
  EXPECT_EQ(form.BitBtnGuidance->toolTip(), text(178));
  EXPECT_EQ(form.MenuFile->title(), text(500));
  EXPECT_EQ(form.MenuExit->text(), text(151));
  EXPECT_EQ(form.MenuLanguage->title(), text(550));
  EXPECT_EQ(form.MenuHelp->title(), text(590));
  EXPECT_EQ(form.MenuGuidance->text(), text(177));
  EXPECT_EQ(form.MenuAbout->text(), text(591));
  EXPECT_EQ(form.LabelHMFirmware->text(), text(165) + " V1.09");
  EXPECT_EQ(form.LabelRMFirmware->text(), text(166) + " V1.05");
  EXPECT_EQ(form.LabelPFDFirmware->text(), "R1.05");
  EXPECT_EQ(form.windowTitle(), caption);
  EXPECT_EQ(caption, "Orvo Kavelo Update Tool");
  for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(form.LanguageItems[i]->text(), names[i]);
  int checked = 0;
  for (QAction* item : form.LanguageItems) checked += item->isChecked();
  EXPECT_EQ(checked, 1);
}

INSTANTIATE_TEST_SUITE_P(SevenLanguages, Relabelling,
                         ::testing::Values(1000, 2000, 3000, 4000, 5000, 6000, 7000));

// The letter that Alt (or, in an open menu, the bare key) picks in a caption: the first "&" that
// does not stand for itself as "&&"; none when there is no such "&".
QChar Accelerator(const QString& caption) {
  for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
    if (caption.at(i) != u'&') continue;
    if (caption.at(i + 1) == u'&') {
      ++i;
      continue;
    }
    return caption.at(i + 1).toUpper();
  }
  return {};
}

// The captions that share one keyboard: a letter that two of them claim only moves the focus
// between them and never presses either.
class TAcceleratorScope {
public:
  void Add(const QString& owner, const QString& caption) {
    const QChar letter = Accelerator(caption);
    if (letter.isNull()) return;
    fOwners.push_back(owner);
    fClaims[letter] << owner + " \"" + caption + "\"";
  }
  const std::vector<QString>& Owners() const { return fOwners; }
  // Each letter that more than one caption claims, with the claims.
  std::vector<std::string> Clashes() const {
    std::vector<std::string> clashes;
    for (auto it = fClaims.cbegin(); it != fClaims.cend(); ++it)
      if (it.value().size() > 1)
        clashes.push_back((QStringLiteral("Alt+") + it.key() + ": " + it.value().join(", ")).toStdString());
    return clashes;
  }

private:
  std::vector<QString> fOwners;
  QMap<QChar, QStringList> fClaims;
};

// What the window offers at once: its shown buttons, buddy labels and group boxes, and the
// titles of the menu bar.
TAcceleratorScope WindowAccelerators(ui::TMainForm& form) {
  TAcceleratorScope scope;
  for (QWidget* w : form.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&form)) continue;
    if (auto* button = qobject_cast<QAbstractButton*>(w))
      scope.Add(button->objectName(), button->text());
    else if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy())
      scope.Add(label->objectName(), label->text());
    else if (auto* group = qobject_cast<QGroupBox*>(w))
      scope.Add(group->objectName(), group->title());
  }
  for (QAction* title : form.menuBar()->actions())
    if (title->isVisible() && title->menu()) scope.Add(title->menu()->objectName(), title->text());
  return scope;
}

TAcceleratorScope MenuAccelerators(QMenu* menu) {
  TAcceleratorScope scope;
  for (QAction* item : menu->actions())
    if (item->isVisible() && !item->isSeparator()) scope.Add(item->objectName(), item->text());
  return scope;
}

struct LanguageCase {
  const char* Name;
  int Base;
};

void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.Name; }

class Accelerators : public FormTest, public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(Accelerators, AreUniqueInTheWindowAndInEachMenu) {
  auto& form = Make();
  const int base = GetParam().Base;
  form.LanguageItems[static_cast<size_t>(base / 1000 - 1)]->trigger();
  ASSERT_EQ(form.Language(), base);

  const TAcceleratorScope window = WindowAccelerators(form);
  EXPECT_THAT(window.Clashes(), IsEmpty());
  EXPECT_THAT(window.Owners(),
              IsSupersetOf({"LabeledEditIPAddressLabel", "BitBtnSearch", "BitBtnConnect", "BitBtnDisconnect",
                            "BitBtnGuidance", "BitBtnUpdateHM", "BitBtnUpdateRM", "BitBtnClose", "MenuFile",
                            "MenuLanguage", "MenuHelp"}));

  const std::map<QMenu*, std::vector<QString>> menus{
      {form.MenuFile, {"MenuExit"}},
      {form.MenuLanguage,
       {"MenuDeutsch", "MenuEnglish", "MenuFrancais", "MenuEspanol", "MenuItaliano", "MenuCestina",
        "MenuNederlands"}},
      {form.MenuHelp, {"MenuGuidance", "MenuAbout"}}};
  for (const auto& [menu, items] : menus) {
    const TAcceleratorScope scope = MenuAccelerators(menu);
    EXPECT_THAT(scope.Clashes(), IsEmpty()) << menu->objectName().toStdString();
    EXPECT_THAT(scope.Owners(), ElementsAreArray(items)) << menu->objectName().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(SevenLanguages, Accelerators,
                         ::testing::Values(LanguageCase{"Deutsch", 1000}, LanguageCase{"English", 2000},
                                           LanguageCase{"Francais", 3000}, LanguageCase{"Espanol", 4000},
                                           LanguageCase{"Italiano", 5000}, LanguageCase{"Cestina", 6000},
                                           LanguageCase{"Nederlands", 7000}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(AcceleratorLetter, IsTheFirstAmpersandThatIsNoLiteralOne) {
  struct Case {
    const char* Caption;
    QChar Letter;
  };
  for (const Case& c : {Case{"Cl&ose", u'O'}, Case{"&IP-Adresse", u'I'}, Case{"Ná&vod", u'V'},
                        Case{"R&&D &Test", u'T'}, Case{"R&&D", QChar()}, Case{"Close", QChar()},
                        Case{"Close&", QChar()}, Case{"&n&ame", u'N'}})
    EXPECT_EQ(Accelerator(QString::fromUtf8(c.Caption)), c.Letter) << c.Caption;
}

struct StartupCase {
  const char* Name;
  std::optional<int> Stored;
  QLocale::Language System;
  int Expected;
};

class StartupChoice : public FormTest, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupChoice, StoredValueElseSystemLanguageAndStoredAgainAtExit) {
  const auto& c = GetParam();
  fStore->Stored = c.Stored;
  auto& form = Make(c.System);
  EXPECT_EQ(form.Language(), c.Expected);
  EXPECT_EQ(LanguageBase(), c.Expected);
  EXPECT_TRUE(form.LanguageItems[static_cast<size_t>(c.Expected / 1000 - 1)]->isChecked());
  EXPECT_EQ(form.BitBtnConnect->text(), ResourceText(c.Expected + 154));
  fForm.reset();
  EXPECT_THAT(fStore->Written, ElementsAre(c.Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, StartupChoice,
    ::testing::Values(StartupCase{"StoredItalian", 5000, QLocale::German, 5000},
                      StartupCase{"StoredUnknownValue", 1234, QLocale::German, 2000},
                      StartupCase{"NothingStoredCzech", std::nullopt, QLocale::Czech, 6000},
                      StartupCase{"NothingStoredPortuguese", std::nullopt, QLocale::Portuguese, 2000},
                      StartupCase{"NothingStoredJapanese", std::nullopt, QLocale::Japanese, 2000},
                      StartupCase{"StoredZeroDutch", 0, QLocale::Dutch, 7000},
                      StartupCase{"NothingStoredGerman", std::nullopt, QLocale::German, 1000},
                      StartupCase{"NothingStoredSpanish", std::nullopt, QLocale::Spanish, 4000},
                      StartupCase{"NothingStoredFrench", std::nullopt, QLocale::French, 3000},
                      StartupCase{"NothingStoredItalian", std::nullopt, QLocale::Italian, 5000}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(FormTest, AChangedLanguageIsStoredAtExit) {
  auto& form = Make();
  form.LanguageItems[4]->trigger();
  fForm.reset();
  EXPECT_THAT(fStore->Written, ElementsAre(5000));
}

class WindowGeometry : public FormTest, public ::testing::WithParamInterface<int> {};

TEST_P(WindowGeometry, IsTwoHundredFiftyFiveHighWithCloseEightAboveTheBottom) {
  auto& form = Make();
  form.show();
  if (GetParam() != 0) form.resize(GetParam(), form.height());
  EXPECT_EQ(form.frameGeometry().height(), 255);
  const QRect close(form.BitBtnClose->mapTo(&form, QPoint(0, 0)), form.BitBtnClose->size());
  EXPECT_EQ(form.height() - (close.y() + close.height()), 8);
  EXPECT_NEAR(close.center().x(), form.width() / 2.0, 2.0);
  // The update group grows with the window; the panel and its log never show.
  const QRect group(form.GroupBoxFWUpdate->mapTo(&form, QPoint(0, 0)), form.GroupBoxFWUpdate->size());
  EXPECT_EQ(form.width() - (group.x() + group.width()), 8);
  EXPECT_FALSE(form.GroupBoxDevTest->isVisible());
  EXPECT_FALSE(form.MemoLog->isVisible());
  form.resize(form.width(), 700);
  EXPECT_FALSE(form.GroupBoxDevTest->isVisible());
  EXPECT_FALSE(form.MemoLog->isVisible());
  EXPECT_EQ(form.height() - (form.BitBtnClose->mapTo(&form, QPoint(0, 0)).y() + form.BitBtnClose->height()), 8);
}

INSTANTIATE_TEST_SUITE_P(TwoWidths, WindowGeometry, ::testing::Values(0, 800));

TEST_F(FormTest, ReceivedFramesAreLoggedOnlyWithShowRX) {
  auto& form = Make();
  ConnectTo();
  form.MemoLog->clear();
  fDevice->Deliver(0x00B0, {0x01, 0xA2, 0xFF});
  EXPECT_TRUE(Log().isEmpty());
  form.CheckBoxLogRX->setChecked(true);
  fDevice->Deliver(0x00B0, {0x01, 0xA2, 0xFF});
  fDevice->Deliver(0x00B0, {});
  fDevice->Deliver(0x0010, {0x12});
  fDevice->Deliver(0x0099, {0x12}); // not reported by the connection
  EXPECT_THAT(Log(), ElementsAre("RX Len = 3 Header = 0x00B0 01 A2 FF", "RX Len = 0 Header = 0x00B0",
                                 "RX Len = 1 Header = 0x0010 12"));
}

TEST_F(FormTest, TheRXTraceMarksFramesTheConnectionRefused) {
  auto& form = Make();
  ConnectTo();
  AnswerWithFlash();
  QString err;
  ASSERT_TRUE(form.Kavelo().EraseFlash(0x10000, 0x10001, err));
  form.MemoLog->clear();
  form.CheckBoxLogRX->setChecked(true);
  fDevice->Deliver(0x00B0, {0xE1, 0x00, 0x00, 0x01, 0x00}); // the erase echo again, now late
  fDevice->PeerIP = "192.168.0.66";
  fDevice->Deliver(0x0041, {0x01});
  EXPECT_THAT(Log(), ElementsAre("RX ignored (late reply) Len = 5 Header = 0x00B0 E1 00 00 01 00",
                                 "RX ignored (not from the handheld: 192.168.0.66) Len = 1 Header = 0x0041 01"));
}

struct ProgressCase {
  int32_t Max, Position;
  int Percent;
};

class Progress : public FormTest, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(Progress, RoundsHalvesToEven) {
  auto& form = Make();
  EXPECT_EQ(ui::TMainForm::ProgressPercent(GetParam().Max, GetParam().Position), GetParam().Percent);
  form.ProgressBar1->setValue(77);
  form.Kavelo().Progress()(nullptr, GetParam().Max, GetParam().Position);
  EXPECT_EQ(form.ProgressBar1->value(), GetParam().Percent);
}

INSTANTIATE_TEST_SUITE_P(Table, Progress,
                         ::testing::Values(ProgressCase{0, 5, 0}, ProgressCase{-3, 1, 0},
                                           ProgressCase{8, 1, 12}, ProgressCase{8, 3, 38},
                                           ProgressCase{200, 27, 14}, ProgressCase{2, 1, 50},
                                           ProgressCase{3, 1, 33}, ProgressCase{3, 2, 67},
                                           ProgressCase{8, 8, 100}, ProgressCase{8, 0, 0}));

TEST_F(FormTest, TheHiddenControlsStayHiddenAndThePresetsAreInPlace) {
  auto& form = Make();
  form.show();
  for (QWidget* w : std::initializer_list<QWidget*>{form.CheckBoxStepHM, form.CheckBoxStepRM, form.BitBtnOpenHM,
                                                    form.BitBtnOpenRM, form.ComboBoxHMVersion,
                                                    form.ComboBoxRMVersion, form.LabelNewVersion,
                                                    form.GroupBoxDevTest})
    EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
  EXPECT_EQ(form.ComboBoxHMVersion->currentText(), "0x109");
  EXPECT_EQ(form.ComboBoxRMVersion->currentText(), "0x105");
  EXPECT_EQ(form.LabeledEditIPAddress->text(), "192.168.0.100");
  EXPECT_EQ(form.ComboBoxAddress->currentText(), "0x40000");
  EXPECT_EQ(form.ComboBoxReadLen->count(), 5);
  EXPECT_EQ(form.ComboBoxOldFirmwareHM->itemText(3), "0xFFFFFFFF");
  EXPECT_EQ(form.fLabelStatus->parentWidget(), form.ProgressBar1);
  EXPECT_EQ(form.fLabelStatus->width(), form.ProgressBar1->width());
  EXPECT_TRUE(form.fLabelStatus->text().isEmpty());
  EXPECT_EQ(form.LanguageItems[3]->text(), "E&spanol");
}

} // namespace
} // namespace kavelo::test

namespace kavelo::test {
namespace {

template <typename T> std::vector<T*> OpenDialogs() {
  std::vector<T*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = dynamic_cast<T*>(w); d && d->isVisible()) out.push_back(d);
  return out;
}

TEST_F(FormTest, AboutDialogShowsTheVersionsWithALocalizedCaption) {
  auto& form = Make();
  form.LanguageItems[0]->trigger(); // German
  form.MenuAbout->trigger();
  form.MenuAbout->trigger();
  const auto dialogs = OpenDialogs<ui::TAboutDialog>();
  ASSERT_EQ(dialogs.size(), 2u);
  for (auto* d : dialogs) {
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("Info über Orvo Kavelo Update Tool"));
    EXPECT_EQ(d->LabelVersion->text(), "Version V1.09 build 3343");
    EXPECT_EQ(d->LabelHMFwVersion->text(), QString::fromUtf8("WLAN-VINDRA® Firmware Version V1.09"));
    EXPECT_EQ(d->LabelRMFwVersion->text(), "WLAN Radio Module Firmware Version V1.05");
    EXPECT_EQ(d->LabelLangVersion->text(), QString::fromUtf8("WLAN-VINDRA® Language Version V1.12"));
    EXPECT_GE(d->LabelHMFwVersion->width(), 250);
    EXPECT_TRUE(d->BitBtnOk->isDefault());
    EXPECT_TRUE(d->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(d->isModal());
    EXPECT_FALSE(d->ImageHeader->pixmap().isNull());
    EXPECT_EQ(d->ImageIcon->pixmap().size(), QSize(48, 48));
  }
  form.LanguageItems[1]->trigger(); // an open dialog keeps its caption
  EXPECT_EQ(dialogs[0]->windowTitle(), QString::fromUtf8("Info über Orvo Kavelo Update Tool"));
  for (auto* d : dialogs) d->BitBtnOk->click();
  QApplication::processEvents();
  EXPECT_TRUE(OpenDialogs<ui::TAboutDialog>().empty());
}

TEST_F(FormTest, GuidanceButtonAndMenuOpenTheGuidanceInTheCurrentLanguage) {
  auto& form = Make();
  form.LanguageItems[5]->trigger(); // Czech
  form.BitBtnGuidance->click();
  form.MenuGuidance->trigger();
  const auto dialogs = OpenDialogs<ui::TInfoDialog>();
  ASSERT_EQ(dialogs.size(), 2u);
  for (auto* d : dialogs) {
    EXPECT_EQ(d->windowTitle(), ResourceText(6179));
    d->close();
  }
}

} // namespace
} // namespace kavelo::test
